#include "gui/qt/restore_window.h"

#include "gui/qt/screen_position.h"

#include <QCloseEvent>
#include <QFrame>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrune {

RestoreWindow::RestoreWindow(TfRestore::Context context, QWidget* parent)
    : QDialog(parent), CheckListBox1(CreateControls()), listControl_(CheckListBox1),
      restoreControl_(RestoreButton), closeControl_(CloseButton),
      selectAllControl_(SelectAllButton), deselectAllControl_(DeselectAllButton),
      windowControl_(this), form_({&listControl_, &restoreControl_, &closeControl_,
                                   &selectAllControl_, &deselectAllControl_, &windowControl_},
                                  std::move(context)) {
    connect(RestoreButton, &QPushButton::clicked, this,
            Guarded(windowControl_, [this] { form_.RestoreButtonClick(); }));
    connect(CloseButton, &QPushButton::clicked, this,
            Guarded(windowControl_, [this] { form_.CloseButtonClick(); }));
    connect(SelectAllButton, &QPushButton::clicked, this,
            Guarded(windowControl_, [this] { form_.SelectAllButtonClick(); }));
    connect(DeselectAllButton, &QPushButton::clicked, this,
            Guarded(windowControl_, [this] { form_.DeselectAllButtonClick(); }));
}

QListWidget* RestoreWindow::CreateControls() {
    setObjectName("fRestore");
    setWindowTitle("Restore");
    QFont font("MS Shell Dlg 2");
    font.setPixelSize(11);
    font.setStyleHint(QFont::SansSerif);
    setFont(font);
    resize(535, 341);

    auto* list = new QListWidget(this);
    list->setObjectName("CheckListBox1");
    list->setLayoutMode(QListView::Batched);
    // Whole lines, reached with the horizontal scroll bar: the end of a line is its comment.
    list->setTextElideMode(Qt::ElideNone);

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

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(list);
    layout->addWidget(ButtonPanel);

    // The panel's buttons come before the list.
    setTabOrder(RestoreButton, CloseButton);
    setTabOrder(CloseButton, SelectAllButton);
    setTabOrder(SelectAllButton, DeselectAllButton);
    setTabOrder(DeselectAllButton, list);
    CentreOnScreen(*this);
    return list;
}

void RestoreWindow::reject() {
    if (form_.FormCloseQuery()) QDialog::reject();
}

void RestoreWindow::closeEvent(QCloseEvent* event) {
    if (!form_.FormCloseQuery()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace kestrune
