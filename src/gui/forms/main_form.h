// TForm1: the main window's behaviour. The user picks a domain and its namespaces, a file-name
// prefix and an output folder, and starts a backup or opens a backup file for restoring. The
// view (Qt or Win32) creates the controls and forwards their events to the handlers here.
#pragma once

#include "base/string_list.h"
#include "dfs/toxldfs.h"
#include "directory/tntads.h"
#include "gui/forms/controls.h"

#include <filesystem>
#include <memory>
#include <vector>

namespace kestrune {

class BackupRun;
class TfRestore;

class TForm1 {
  public:
    // The view's controls, by their designer names. They outlive the form.
    struct Controls {
        ComboBox* cbDomains;
        ListBox* ListBox1;
        TextControl* ePrefix;
        TextControl* ePath;
        CheckBox* Checkbox1;
        Button* BitBtn1;
        Button* BitBtn3;
        Button* Bitbtn2;
        Timer* Timer1;
        OpenDialog* OpenDialog1;
        FormWindow* window;
    };

    // arguments: the command line without the program name.
    TForm1(const Controls& controls, std::vector<WideString> arguments);
    ~TForm1();
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    ComboBox* const cbDomains;
    ListBox* const ListBox1;
    TextControl* const ePrefix;
    TextControl* const ePath;
    CheckBox* const Checkbox1;
    Button* const BitBtn1;
    Button* const BitBtn3;
    Button* const Bitbtn2;
    Timer* const Timer1;
    OpenDialog* const OpenDialog1;
    FormWindow* const window;

    TOXLDFS OXLDFS1;
    TNTADS NTADS1;

    const std::vector<WideString>& Arguments() const { return FArguments; }
    // The folder of the program file, ending in a separator.
    const AnsiString& AppFolder() const { return FAppFolder; }
    // kestrune.ini beside the program, or in the user's own settings folder when the
    // program's folder cannot be written (a program installed for every user).
    std::filesystem::path SettingsFile() const { return FSettingsFile; }

    // The restore window that BitBtn3Click fills and shows; set by the program block.
    void SetRestoreWindow(TfRestore* restore) { fRestore = restore; }
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
    // Asked before the window closes; false keeps it open (a run first stops, then closes it).
    bool FormCloseQuery();
    void FormClose();
    void OXLDFS1DFSEnum(TOXLDFS* Sender, AnsiString Path, bool& Abort);
    void OXLDFS1DFSEnum2(TOXLDFS* Sender, AnsiString Path, AnsiString Share, AnsiString Comment,
                         int32_t Index, bool& Abort);

  private:
    // Lists the namespaces of the domain in cbDomains and selects the first.
    void RefreshNamespaces();
    void SetRunControls(bool running);
    // Appends the folder separator to ePath unless it already ends in one.
    void EndPathWithDelimiter();
    void AddSortedNamespace(const WideString& name);
    class RunningState;

    std::unique_ptr<TStringList> FBackupLines;
    bool FCancelRequested = false;
    AnsiString FAppFolder;
    std::filesystem::path FSettingsFile;
    std::vector<WideString> FArguments;
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
