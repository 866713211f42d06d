#include "backup/restore_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace kestrune {
namespace {

constexpr int kLineRole = Qt::UserRole;

} // namespace

TfRestore::TfRestore(Context context, QWidget* parent)
    : QDialog(parent), FContext(std::move(context)) {
    setObjectName("fRestore");
    setWindowTitle("Restore");
    QFont font("MS Shell Dlg 2");
    font.setPixelSize(11);
    font.setStyleHint(QFont::SansSerif);
    setFont(font);
    resize(535, 341);

    CheckListBox1 = new QListWidget(this);
    CheckListBox1->setObjectName("CheckListBox1");
    CheckListBox1->setLayoutMode(QListView::Batched);
    // Whole lines, reached with the horizontal scroll bar: the end of a line is its comment.
    CheckListBox1->setTextElideMode(Qt::ElideNone);

    ButtonPanel = new QFrame(this);
    ButtonPanel->setObjectName("ButtonPanel");
    ButtonPanel->setFixedHeight(53);
    auto button = [this](const char* name, const char* caption, int left) {
        auto* b = new QPushButton(caption, ButtonPanel);
        b->setObjectName(name);
        b->setGeometry(left, 8, 75, 25);
        b->setAutoDefault(false);
        return b;
    };
    RestoreButton = button("RestoreButton", "Restore", 62);
    CloseButton = button("CloseButton", "Close", 158);
    SelectAllButton = button("SelectAllButton", "Select all", 302);
    DeselectAllButton = button("DeselectAllButton", "De-select all", 398);
    connect(RestoreButton, &QPushButton::clicked, this, [this] { RestoreButtonClick(); });
    connect(CloseButton, &QPushButton::clicked, this, [this] { CloseButtonClick(); });
    connect(SelectAllButton, &QPushButton::clicked, this, [this] { SelectAllButtonClick(); });
    connect(DeselectAllButton, &QPushButton::clicked, this, [this] { DeselectAllButtonClick(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(CheckListBox1);
    layout->addWidget(ButtonPanel);

    // The panel's buttons come before the list.
    setTabOrder(RestoreButton, CloseButton);
    setTabOrder(CloseButton, SelectAllButton);
    setTabOrder(SelectAllButton, DeselectAllButton);
    setTabOrder(DeselectAllButton, CheckListBox1);

    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TfRestore::LoadLines(const TStringList& lines) {
    CheckListBox1->setUpdatesEnabled(false);
    CheckListBox1->clear();
    for (int i = 0; i < lines.Count(); ++i) {
        auto* item = new QListWidgetItem(QString::fromStdU16String(AnsiToWide(lines[i])));
        item->setData(kLineRole, QByteArray::fromStdString(lines[i]));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        CheckListBox1->addItem(item);
    }
    CheckListBox1->setUpdatesEnabled(true);
}

AnsiString TfRestore::LineOf(int index) const {
    return CheckListBox1->item(index)->data(kLineRole).toByteArray().toStdString();
}

void TfRestore::SetAllChecks(bool checked) {
    CheckListBox1->setUpdatesEnabled(false);
    for (int i = 0; i < CheckListBox1->count(); ++i)
        CheckListBox1->item(i)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    CheckListBox1->setUpdatesEnabled(true);
}

void TfRestore::SelectAllButtonClick() {
    SetAllChecks(true);
}
void TfRestore::DeselectAllButtonClick() {
    SetAllChecks(false);
}

void TfRestore::RestoreButtonClick() {
    if (FRunning) return; // one run at a time
    FRunning = true;
    CloseButton->setText("Cancel");
    RestoreLog& log = *FContext.log;
    log.ClearLines();
    log.ShowLog();
    log.AddLine("Starting restore", clLime);
    FCancelRequested = false;

    // Flags 0: the link is created if needed and the target added, so every target of a
    // multi-target link comes back, not only the first line that reaches it. The first
    // target of each entry ("/map") goes in before its further ones ("/add"), which keeps the
    // targets' order.
    TOXLDFS& dfs = *FContext.dfs;
    uint32_t flags = dfs.Flags();
    dfs.SetFlags(0);
    const int count = CheckListBox1->count();
    for (bool furtherTargets : {false, true}) {
        for (int i = 0; i < count && !FCancelRequested; ++i) {
            if (CheckListBox1->item(i)->checkState() != Qt::Checked) continue;
            AnsiString line = LineOf(i);
            if (IsAddLine(line) != furtherTargets) continue;
            RestoreBackupLine(line, FContext.noSlashes(), dfs, log,
                              [] { QApplication::processEvents(); });
        }
    }
    dfs.SetFlags(flags);

    FinishRestoreLog(log, FContext.backupFile());
    CloseButton->setText("Close");
    FRunning = false;
}

void TfRestore::CloseButtonClick() {
    if (CloseButton->text() == "Cancel") FCancelRequested = true;
    if (CloseButton->text() == "Close") close();
}

void TfRestore::reject() {
    if (FRunning) {
        FCancelRequested = true;
        return;
    }
    QDialog::reject();
}

void TfRestore::closeEvent(QCloseEvent* event) {
    if (FRunning) {
        FCancelRequested = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace kestrune
