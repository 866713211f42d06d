// TForm1: the main window. The user picks a domain and its namespaces, a file-name prefix
// and an output folder, and starts a backup or opens a backup file for restoring.
#pragma once

#include "base/string_list.h"
#include "dfs/toxldfs.h"
#include "directory/tntads.h"

#include <QWidget>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace kestrune {

class SortedListBox;

class TForm1 : public QWidget {
  public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Controls, by their designer names.
    QLabel* Label4;
    QComboBox* cbDomains;
    QLabel* Label1;
    SortedListBox* ListBox1;
    QLabel* Label2;
    QLineEdit* ePrefix;
    QLabel* Label3;
    QLineEdit* ePath;
    QCheckBox* Checkbox1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn3;
    QPushButton* Bitbtn2;
    QTimer* Timer1;

    TOXLDFS OXLDFS1;
    TNTADS NTADS1;

    // The folder of the program file, ending in a separator; the settings file lives here.
    const AnsiString& AppFolder() const { return FAppFolder; }
    AnsiString SettingsFile() const { return FAppFolder + "kestrune.ini"; }

    void FormCreate();
    void FormShow();
    void Timer1Timer();
    void cbDomainsExit();
    void BitBtn2Click();
    void FormClose();
    void OXLDFS1DFSEnum(TOXLDFS* Sender, AnsiString Path, bool& Abort);

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateControls();
    // Lists the namespaces of the domain in cbDomains and selects the first.
    void RefreshNamespaces();

    std::unique_ptr<TStringList> FBackupLines;
    bool FCancelRequested = false;
    AnsiString FAppFolder;
    bool FCentred = false;
};

} // namespace kestrune
