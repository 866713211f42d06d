#include "backup/restore_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

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

void TfRestore::LoadLines(const std::vector<AnsiString>& lines) {
    CheckListBox1->setUpdatesEnabled(false);
    CheckListBox1->clear();
    for (const AnsiString& line : lines) {
        auto* item = new QListWidgetItem(QString::fromStdU16String(AnsiToWide(line)));
        item->setData(kLineRole, QByteArray::fromStdString(line));
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

namespace {

// The check list as the run reads it: marks and lines at the moment the run reaches them,
// over the items there were when the run started.
class CheckListSelection : public RestoreSelection {
  public:
    CheckListSelection(const QListWidget& list, std::function<AnsiString(int)> line)
        : list_(list), count_(list.count()), line_(std::move(line)) {}
    int Count() const override { return std::min(count_, list_.count()); }
    bool Checked(int index) const override {
        const QListWidgetItem* item = list_.item(index);
        return item && item->checkState() == Qt::Checked;
    }
    AnsiString Line(int index) const override { return line_(index); }

  private:
    const QListWidget& list_;
    const int count_;
    std::function<AnsiString(int)> line_;
};

} // namespace

void TfRestore::RestoreButtonClick() {
    if (FRunning) return; // one run at a time
    FRunning = true;
    CloseButton->setText("Cancel");
    // The caption and the running state come back however the run ends.
    struct Idle {
        TfRestore* window;
        ~Idle() {
            window->CloseButton->setText("Close");
            window->FRunning = false;
        }
    } idle{this};

    FCancelRequested = false;
    PlaceLogBeside();
    RestoreRun run(*FContext.dfs, *FContext.log, FCancelRequested);
    run.noSlashes = FContext.noSlashes();
    run.backupFile = FContext.backupFile();
    run.processMessages = [] { QApplication::processEvents(); };
    run.Run(CheckListSelection(*CheckListBox1, [this](int i) { return LineOf(i); }));
}

void TfRestore::PlaceLogBeside() {
    auto* log = dynamic_cast<QWidget*>(FContext.log);
    if (!log || !log->frameGeometry().intersects(frameGeometry())) return;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect room = screen->availableGeometry();
    const QRect mine = frameGeometry();
    const QSize size = log->frameGeometry().size();
    // Right of this window, else left of it; on a small screen as far aside as it goes, so
    // that at least part of the progress shows.
    int x = mine.right() + 1;
    if (x + size.width() > room.right() + 1) x = mine.left() - size.width();
    if (x < room.left())
        x = room.right() + 1 - mine.right() > mine.left() - room.left()
                ? room.right() + 1 - size.width()
                : room.left();
    log->move(x, mine.top());
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
