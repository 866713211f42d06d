// The Restore window's Qt view: the check list above a panel of four buttons.
#pragma once

#include "gui/forms/restore_form.h"
#include "gui/qt/qt_controls.h"

#include <QDialog>

class QFrame;
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

  protected:
    // Esc and the frame's close button go through the form's close query.
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

  private:
    QListWidget* CreateControls();

    QtCheckList listControl_;
    QtButton restoreControl_, closeControl_, selectAllControl_, deselectAllControl_;
    QtFormWindow windowControl_;
    TfRestore form_;
};

} // namespace kestrune
