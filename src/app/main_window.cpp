#include "app/main_window.h"

#include "app/message_box.h"
#include "app/qt_text.h"
#include "app/screen_position.h"
#include "app/session.h"
#include "app/sorted_list_box.h"
#include "backup/backup_run.h"
#include "base/ini_file.h"
#include "base/paths.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kestrune {
namespace {

constexpr int kClientWidth = 438;
constexpr int kClientHeight = 230;

} // namespace

TForm1::TForm1(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName("Form1");
    setWindowTitle("Kestrune");
    QFont font("MS Shell Dlg 2", 8);
    font.setStyleHint(QFont::SansSerif); // stands in where the font is missing
    setFont(font);
    setFixedSize(kClientWidth, kClientHeight);
    CreateControls();
    CentreOnScreen(*this);

    OXLDFS1.SetVersion("1.2");
    // The directory component's stored settings, applied after its construction.
    NTADS1.SetProvider("LDAP://");
    NTADS1.SetFullUser(false);
    NTADS1.SetLastError(999);
    NTADS1.SetLastMessage(u"No AD available");
    NTADS1.SetUseLoginServer(false);
    NTADS1.SetSubs(false);
    NTADS1.SetRowCount(100);
    OXLDFS1.ONDFSEnum = [this](TOXLDFS* sender, AnsiString path, bool& abort) {
        OXLDFS1DFSEnum(sender, std::move(path), abort);
    };
    OXLDFS1.ONDFSEnumWide = [this](TOXLDFS*, const WideString& path) { FReportedRootName = path; };
    OXLDFS1.ONDFSEnum2Wide = [this](TOXLDFS*, const WideString& path, const WideString& share,
                                    const WideString& comment) {
        if (FRun) FRun->ReportWide(path, share, comment);
    };
    OXLDFS1.ONDFSEnum2 = [this](TOXLDFS* sender, AnsiString path, AnsiString share,
                                AnsiString comment, int32_t index, bool& abort) {
        OXLDFS1DFSEnum2(sender, std::move(path), std::move(share), std::move(comment), index,
                        abort);
    };
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::CreateControls() {
    auto label = [this](const char* name, const char* caption, int left, int top) {
        auto* l = new QLabel(caption, this);
        l->setObjectName(name);
        l->move(left, top);
        l->adjustSize();
        return l;
    };
    Label4 = label("Label4", "Domains", 8, 8);
    cbDomains = new QComboBox(this);
    cbDomains->setObjectName("cbDomains");
    cbDomains->setEditable(true);
    cbDomains->setInsertPolicy(QComboBox::NoInsert);
    cbDomains->setGeometry(8, 24, 201, 21);
    cbDomains->installEventFilter(this);

    Label1 = label("Label1", "DFS Name spaces ", 8, 56);
    ListBox1 = new SortedListBox(this);
    ListBox1->setObjectName("ListBox1");
    ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBox1->setGeometry(8, 72, 201, 153);

    Label2 = label("Label2", "Backup prefix", 224, 24);
    ePrefix = new QLineEdit(this);
    ePrefix->setObjectName("ePrefix");
    ePrefix->setGeometry(224, 40, 193, 21);

    Label3 = label("Label3", "Output path", 224, 72);
    ePath = new QLineEdit(this);
    ePath->setObjectName("ePath");
    ePath->setGeometry(224, 88, 193, 21);

    Checkbox1 = new QCheckBox("No Slashes", this);
    Checkbox1->setObjectName("Checkbox1");
    Checkbox1->setGeometry(224, 112, 105, 25);

    auto button = [this](const char* name, const char* caption, int top) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setGeometry(344, top, 75, 25);
        b->setAutoDefault(false);
        return b;
    };
    BitBtn1 = button("BitBtn1", "Backup", 120);
    BitBtn3 = button("BitBtn3", "Restore", 152);
    Bitbtn2 = button("Bitbtn2", "Close", 192);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
    connect(Bitbtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });

    // Tab order: cbDomains, ListBox1, ePrefix, ePath, BitBtn1, BitBtn3, Bitbtn2, Checkbox1.
    QWidget* order[] = {cbDomains, ListBox1, ePrefix, ePath, BitBtn1, BitBtn3, Bitbtn2, Checkbox1};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(200);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });

    OpenDialog1 = new QFileDialog(this, "Restore");
    OpenDialog1->setObjectName("OpenDialog1");
    OpenDialog1->setOption(QFileDialog::DontUseNativeDialog);
    OpenDialog1->setNameFilters({"Text files (*.txt)", "All files (*)"});
    OpenDialog1->setDefaultSuffix("txt");
    OpenDialog1->setFileMode(QFileDialog::ExistingFile);
    OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
}

void TForm1::FormCreate() {
    FAppFolder = ProgramFolder();
    FBackupLines = std::make_unique<TStringList>();
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FormShow();
}

void TForm1::FormShow() {
    Timer1->start();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == cbDomains && event->type() == QEvent::FocusOut) {
        // The combo's own drop-down and a switch to another window are not a real leave.
        Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
            cbDomainsExit();
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::cbDomainsExit() {
    // A backup run walks the list by position; it must not change under the run.
    if (FBackupRunning) return;
    ListBox1->clear();
    RefreshNamespaces();
}

void TForm1::RefreshNamespaces() {
    OXLDFS1.SetDFSEntry(AnsiToWide("\\\\" + NTADS1.ToDotname(ToAnsi(cbDomains->currentText()))));
    OXLDFS1.EnumRoots();
    if (ListBox1->count() > 0) {
        ListBox1->clearSelection();
        ListBox1->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    }
}

void TForm1::OXLDFS1DFSEnum(TOXLDFS*, AnsiString Path, bool& Abort) {
    // The name as the platform gave it, when it is this report's; the 8-bit text otherwise.
    WideString name = AnsiToWide(WideToAnsi(FReportedRootName)) == AnsiToWide(Path)
                          ? FReportedRootName
                          : AnsiToWide(Path);
    FReportedRootName.clear();
    ListBox1->AddSorted(QString::fromStdU16String(name));
    Abort = FCancelRequested;
}

void TForm1::BitBtn2Click() {
    if (Bitbtn2->text() == "Cancel") FCancelRequested = true;
    if (Bitbtn2->text() == "Close") close();
}

void TForm1::closeEvent(QCloseEvent* event) {
    // Closing during a backup run first stops it: the namespace in progress is finished and
    // written, then the run closes the window itself.
    if (FBackupRunning) {
        FCancelRequested = true;
        FCloseAfterRun = true;
        event->ignore();
        return;
    }
    if (!FTerminating) FormClose();
    QWidget::closeEvent(event);
}

void TForm1::FormClose() {
    if (!WriteIniString(SettingsFile(), "General", "Outputpath", ToAnsi(ePath->text()))) {
        // The folder is still remembered for this session only; say so rather than lose it
        // silently.
        std::string text = "The output folder could not be saved in \"" + SettingsFile() + "\". " +
                           std::strerror(errno);
        ShowMessageBox(this, MessageKind::Warning, "Kestrune",
                       QString::fromLocal8Bit(text.c_str()));
    }
    FBackupLines.reset();
}

} // namespace kestrune
