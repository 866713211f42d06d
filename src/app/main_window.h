// TForm1: the main window. The user picks a domain and its namespaces, a file-name prefix
// and an output folder, and starts a backup or opens a backup file for restoring.
#pragma once

#include "base/string_list.h"
#include "dfs/toxldfs.h"
#include "directory/tntads.h"

#include <QWidget>
#include <filesystem>
#include <memory>

class QCheckBox;
class QComboBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace kestrune {

class BackupRun;
class SortedListBox;
class TfRestore;

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
    QFileDialog* OpenDialog1;

    TOXLDFS OXLDFS1;
    TNTADS NTADS1;

    // The folder of the program file, ending in a separator; the settings file lives here.
    const AnsiString& AppFolder() const { return FAppFolder; }
    AnsiString SettingsFile() const { return FAppFolder + "kestrune.ini"; }

    // The restore window that BitBtn3Click fills and shows; set by the program block.
    void SetRestoreWindow(TfRestore* window) { fRestore = window; }
    // The backup file that was last opened for restoring, empty before the first.
    std::filesystem::path RestoreFileName() const { return FRestoreFileName; }
    bool BackupRunning() const { return FBackupRunning; }

    void FormCreate();
    void FormShow();
    void Timer1Timer();
    void cbDomainsExit();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void FormClose();
    void OXLDFS1DFSEnum(TOXLDFS* Sender, AnsiString Path, bool& Abort);
    void OXLDFS1DFSEnum2(TOXLDFS* Sender, AnsiString Path, AnsiString Share, AnsiString Comment,
                         int32_t Index, bool& Abort);

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateControls();
    // Lists the namespaces of the domain in cbDomains and selects the first.
    void RefreshNamespaces();
    void SetRunControls(bool running);
    class RunningState;

    std::unique_ptr<TStringList> FBackupLines;
    bool FCancelRequested = false;
    AnsiString FAppFolder;
    bool FBackupRunning = false;
    BackupRun* FRun = nullptr; // the run the link reports go to, while one runs
    // The name the platform reported for the namespace now being listed, before its
    // conversion to 8-bit text: the list keeps every character of it.
    WideString FReportedRootName;
    bool FCloseAfterRun = false; // the window was asked to close during a run
    bool FTerminating = false;   // ending without a close: no settings are written
    TfRestore* fRestore = nullptr;
    std::filesystem::path FRestoreFileName;
};

} // namespace kestrune
