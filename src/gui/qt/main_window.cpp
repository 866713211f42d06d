#include "gui/qt/main_window.h"

#include "gui/qt/screen_position.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

namespace kestrune {
namespace {

constexpr int kClientWidth = 438;
constexpr int kClientHeight = 230;

} // namespace

MainWindow::MainWindow(std::vector<WideString> arguments, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      // The adapters are bound to the controls CreateControls makes, before anything uses them.
      cbDomainsControl_((CreateControls(), cbDomains)), listBoxControl_(ListBox1),
      ePrefixControl_(ePrefix), ePathControl_(ePath), checkboxControl_(Checkbox1),
      backupControl_(BitBtn1), restoreControl_(BitBtn3), closeControl_(Bitbtn2),
      timerControl_(Timer1), dialogControl_(OpenDialog1), windowControl_(this) {
    form_ = std::make_unique<TForm1>(
        TForm1::Controls{&cbDomainsControl_, &listBoxControl_, &ePrefixControl_, &ePathControl_,
                         &checkboxControl_, &backupControl_, &restoreControl_, &closeControl_,
                         &timerControl_, &dialogControl_, &windowControl_},
        std::move(arguments));
    connect(BitBtn1, &QPushButton::clicked, this,
            Guarded(windowControl_, [this] { form_->BitBtn1Click(); }));
    connect(BitBtn3, &QPushButton::clicked, this,
            Guarded(windowControl_, [this] { form_->BitBtn3Click(); }));
    connect(Bitbtn2, &QPushButton::clicked, this,
            Guarded(windowControl_, [this] { form_->BitBtn2Click(); }));
    connect(Timer1, &QTimer::timeout, this,
            Guarded(windowControl_, [this] { form_->Timer1Timer(); }));
}

MainWindow::~MainWindow() = default;

void MainWindow::CreateControls() {
    setObjectName("Form1");
    setWindowTitle("Kestrune");
    QFont font("MS Shell Dlg 2", 8);
    font.setStyleHint(QFont::SansSerif); // stands in where the font is missing
    setFont(font);
    setFixedSize(kClientWidth, kClientHeight);

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
    ListBox1 = new QListWidget(this);
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

    // Tab order: cbDomains, ListBox1, ePrefix, ePath, BitBtn1, BitBtn3, Bitbtn2, Checkbox1.
    QWidget* order[] = {cbDomains, ListBox1, ePrefix, ePath, BitBtn1, BitBtn3, Bitbtn2, Checkbox1};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(200);

    OpenDialog1 = new QFileDialog(this, "Restore");
    OpenDialog1->setObjectName("OpenDialog1");
    OpenDialog1->setOption(QFileDialog::DontUseNativeDialog);
    OpenDialog1->setNameFilters({"Backups and dfsutil exports (*.txt *.xml)", "All files (*)"});
    OpenDialog1->setDefaultSuffix("txt");
    OpenDialog1->setFileMode(QFileDialog::ExistingFile);
    OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    CentreOnScreen(*this);
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    form_->FormShow();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (form_ && watched == cbDomains && event->type() == QEvent::FocusOut) {
        // The combo's own drop-down and a switch to another window are not a real leave.
        Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
            Guarded(windowControl_, [this] { form_->cbDomainsExit(); })();
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!form_->FormCloseQuery()) {
        event->ignore();
        return;
    }
    form_->FormClose();
    QWidget::closeEvent(event);
}

} // namespace kestrune
