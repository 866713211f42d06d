// The Restore window's Qt view: the check list above a panel of four buttons and the box that
// shows, between the two, the fields of another place to restore into.
#pragma once

#include "gui/forms/restore_form.h"
#include "gui/qt/qt_controls.h"

#include <QDialog>

class QCheckBox;
class QFrame;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kestrune {

class RestoreWindow : public QDialog {
  public:
    RestoreWindow(TfRestore::Context context, QWidget* parent = nullptr);

    TfRestore& form() { return form_; }

    QListWidget* CheckListBox1;
    QFrame* ButtonPanel;
    QPushButton* RestoreButton;
    QPushButton* CloseButton;
    QPushButton* SelectAllButton;
    QPushButton* DeselectAllButton;
    QCheckBox* chkAnotherPlace;
    QWidget* pnlAnotherPlace;
    QLineEdit* eRestoreInto;
    QLineEdit* eServerNames;

  protected:
    // Esc and the frame's close button go through the form's close query.
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

  private:
    QListWidget* CreateControls();
    void CreateAnotherPlace();

    QtCheckList listControl_;
    QtButton restoreControl_, closeControl_, selectAllControl_, deselectAllControl_;
    QtCheckBox anotherPlaceControl_;
    QtPanel anotherPlacePanel_;
    QtEdit restoreIntoControl_, serverNamesControl_;
    QtFormWindow windowControl_;
    TfRestore form_;
};

} // namespace kestrune
