// The main window's Qt view: creates the controls, forwards their events to TForm1 and shows
// what it decides.
#pragma once

#include "gui/forms/main_form.h"
#include "gui/qt/qt_controls.h"

#include <QWidget>
#include <memory>

class QCheckBox;
class QComboBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;

namespace kestrune {

class MainWindow : public QWidget {
  public:
    explicit MainWindow(std::vector<WideString> arguments = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    TForm1& form() { return *form_; }

    // Controls, by their designer names.
    QLabel* Label4;
    QComboBox* cbDomains;
    QLabel* Label1;
    QListWidget* ListBox1;
    QLabel* Label2;
    QLineEdit* ePrefix;
    QLabel* Label3;
    QLineEdit* ePath;
    QCheckBox* Checkbox1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn3;
    QPushButton* Bitbtn2;
    QTimer* Timer1;
    QFileDialog* OpenDialog1;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateControls();

    QtComboBox cbDomainsControl_;
    QtListBox listBoxControl_;
    QtEdit ePrefixControl_, ePathControl_;
    QtCheckBox checkboxControl_;
    QtButton backupControl_, restoreControl_, closeControl_;
    QtTimer timerControl_;
    QtOpenDialog dialogControl_;
    QtFormWindow windowControl_;
    std::unique_ptr<TForm1> form_;
};

} // namespace kestrune
