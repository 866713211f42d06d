#include "gui/qt/restore_window.h"

#include "gui/qt/screen_position.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrune {

RestoreWindow::RestoreWindow(TfRestore::Context context, QWidget* parent)
    : QDialog(parent), CheckListBox1(CreateControls()), listControl_(CheckListBox1),
      restoreControl_(RestoreButton), closeControl_(CloseButton),
      selectAllControl_(SelectAllButton), deselectAllControl_(DeselectAllButton),
      anotherPlaceControl_(chkAnotherPlace), anotherPlacePanel_(pnlAnotherPlace),
      restoreIntoControl_(eRestoreInto), serverNamesControl_(eServerNames), windowControl_(this),
      form_({&listControl_, &restoreControl_, &closeControl_, &selectAllControl_,
             &deselectAllControl_, &anotherPlaceControl_, &anotherPlacePanel_, &restoreIntoControl_,
             &serverNamesControl_, &windowControl_},
            std::move(context)) {
    connect(RestoreButton, &QPushButton::clicked, this,
            Guarded(windowControl_, [this] { form_.RestoreButtonClick(); }));
    connect(CloseButton, &QPushButton::clicked, this,
            Guarded(windowControl_, [this] { form_.CloseButtonClick(); }));
    connect(SelectAllButton, &QPushButton::clicked, this,
            Guarded(windowControl_, [this] { form_.SelectAllButtonClick(); }));
    connect(DeselectAllButton, &QPushButton::clicked, this,
            Guarded(windowControl_, [this] { form_.DeselectAllButtonClick(); }));
    connect(chkAnotherPlace, &QCheckBox::toggled, this,
            Guarded(windowControl_, [this] { form_.chkAnotherPlaceClick(); }));
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
    // In the panel's room below the buttons: the window keeps its size and its list.
    chkAnotherPlace = new QCheckBox("Restore into another &place", ButtonPanel);
    chkAnotherPlace->setObjectName("chkAnotherPlace");
    chkAnotherPlace->setGeometry(62, 35, 200, 17);
    CreateAnotherPlace();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(list);
    layout->addWidget(pnlAnotherPlace);
    layout->addWidget(ButtonPanel);

    // The panel's buttons come before the list; the fields follow the box that shows them.
    setTabOrder(RestoreButton, CloseButton);
    setTabOrder(CloseButton, SelectAllButton);
    setTabOrder(SelectAllButton, DeselectAllButton);
    setTabOrder(DeselectAllButton, chkAnotherPlace);
    setTabOrder(chkAnotherPlace, eRestoreInto);
    setTabOrder(eRestoreInto, eServerNames);
    setTabOrder(eServerNames, list);
    CentreOnScreen(*this);
    return list;
}

// A strip of one row between the list and the buttons: the list gives up its height.
void RestoreWindow::CreateAnotherPlace() {
    pnlAnotherPlace = new QWidget(this);
    pnlAnotherPlace->setObjectName("pnlAnotherPlace");
    pnlAnotherPlace->setFixedHeight(29);
    auto field = [this](const char* name, const char* placeholder) {
        auto* edit = new QLineEdit(pnlAnotherPlace);
        edit->setObjectName(name);
        edit->setPlaceholderText(placeholder);
        edit->setFixedHeight(21);
        return edit;
    };
    eRestoreInto = field("eRestoreInto", "\\\\DOMAIN\\NAMESPACE");
    eRestoreInto->setFixedWidth(170);
    eServerNames = field("eServerNames", "OLD=NEW ...");
    auto* intoLabel = new QLabel("Restore &into:", pnlAnotherPlace);
    intoLabel->setBuddy(eRestoreInto);
    auto* serversLabel = new QLabel("&Server names:", pnlAnotherPlace);
    serversLabel->setBuddy(eServerNames);
    auto* row = new QHBoxLayout(pnlAnotherPlace);
    row->setContentsMargins(8, 4, 8, 4);
    row->setSpacing(6);
    row->addWidget(intoLabel);
    row->addWidget(eRestoreInto);
    row->addSpacing(10);
    row->addWidget(serversLabel);
    row->addWidget(eServerNames, 1);
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
