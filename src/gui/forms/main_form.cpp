#include "gui/forms/main_form.h"

#include "backup/backup_run.h"
#include "base/collation.h"
#include "base/file_io.h"
#include "base/ini_file.h"
#include "base/paths.h"
#include "gui/forms/message_box.h"

namespace kestrune {

TForm1::TForm1(const Controls& controls, std::vector<WideString> arguments)
    : cbDomains(controls.cbDomains), ListBox1(controls.ListBox1), ePrefix(controls.ePrefix),
      ePath(controls.ePath), Checkbox1(controls.Checkbox1), BitBtn1(controls.BitBtn1),
      BitBtn3(controls.BitBtn3), Bitbtn2(controls.Bitbtn2), Timer1(controls.Timer1),
      OpenDialog1(controls.OpenDialog1), window(controls.window), FArguments(std::move(arguments)) {
    OXLDFS1.SetVersion("1.2");
    // The directory component's stored settings, applied after its construction.
    NTADS1.SetProvider("LDAP://");
    NTADS1.SetFullUser(false);
    NTADS1.SetLastError(999);
    NTADS1.SetLastMessage(u"No AD available");
    NTADS1.SetUseLoginServer(false);
    NTADS1.SetSubs(false);
    NTADS1.SetRowCount(100);
    OXLDFS1.ONDFSEnum = [this](TOXLDFS* sender, AnsiString path, bool& abort) {
        OXLDFS1DFSEnum(sender, std::move(path), abort);
    };
    OXLDFS1.ONDFSEnumWide = [this](TOXLDFS*, const WideString& path) { FReportedRootName = path; };
    OXLDFS1.ONDFSEnum2Wide = [this](TOXLDFS*, const WideString& path, const WideString& share,
                                    const WideString& comment) {
        if (FRun) FRun->ReportWide(path, share, comment);
    };
    OXLDFS1.ONDFSEntryProperties = [this](TOXLDFS*, const DFS_INFO_9& entry) {
        if (FRun) FRun->ReportProperties(entry);
    };
    OXLDFS1.ONDFSEnum2 = [this](TOXLDFS* sender, AnsiString path, AnsiString share,
                                AnsiString comment, int32_t index, bool& abort) {
        OXLDFS1DFSEnum2(sender, std::move(path), std::move(share), std::move(comment), index,
                        abort);
    };
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::FormCreate() {
    FAppFolder = ProgramFolder();
    const std::filesystem::path folder = PathFromAnsi(FAppFolder);
    // No settings file at all rather than one in a folder that others may write to.
    const std::filesystem::path own = UserSettingsFolder();
    FSettingsFile = FolderIsWritable(folder) ? folder / "kestrune.ini"
                    : own.empty()            ? std::filesystem::path()
                                             : own / "kestrune.ini";
    FBackupLines = std::make_unique<TStringList>();
}

void TForm1::FormShow() {
    Timer1->SetEnabled(true);
}

void TForm1::cbDomainsExit() {
    // A backup run walks the list by position; it must not change under the run.
    if (FBackupRunning) return;
    ListBox1->Clear();
    RefreshNamespaces();
}

void TForm1::RefreshNamespaces() {
    OXLDFS1.SetDFSEntry(AnsiToWide("\\\\" + NTADS1.ToDotname(WideToAnsi(cbDomains->Text()))));
    OXLDFS1.EnumRoots();
    if (ListBox1->Count() > 0) ListBox1->SelectOnly(0);
}

void TForm1::OXLDFS1DFSEnum(TOXLDFS*, AnsiString Path, bool& Abort) {
    // The name as the platform gave it, when it is this report's; the 8-bit text otherwise.
    WideString name = AnsiToWide(WideToAnsi(FReportedRootName)) == AnsiToWide(Path)
                          ? FReportedRootName
                          : AnsiToWide(Path);
    FReportedRootName.clear();
    AddSortedNamespace(name);
    Abort = FCancelRequested;
}

// The list keeps its items in the user's locale order without regard to case, as a sorted
// Windows list box does; equal names keep the order they arrived in.
void TForm1::AddSortedNamespace(const WideString& name) {
    const AnsiString key = WideToAnsi(name);
    int low = 0, high = ListBox1->Count();
    while (low < high) {
        int mid = (low + high) / 2;
        if (CompareText(WideToAnsi(ListBox1->Item(mid)), key) <= 0)
            low = mid + 1;
        else
            high = mid;
    }
    ListBox1->Insert(low, name);
}

void TForm1::EndPathWithDelimiter() {
    const WideString delimiter(1, static_cast<char16_t>(kPathDelim));
    if (!ePath->Text().ends_with(delimiter)) ePath->SetText(ePath->Text() + delimiter);
}

void TForm1::BitBtn2Click() {
    if (Bitbtn2->Caption() == u"Cancel") FCancelRequested = true;
    if (Bitbtn2->Caption() == u"Close") window->Close();
}

bool TForm1::FormCloseQuery() {
    // Closing during a backup run first stops it: the namespace in progress is finished and
    // written, then the run closes the window itself.
    if (FBackupRunning) {
        FCancelRequested = true;
        FCloseAfterRun = true;
        return false;
    }
    return true;
}

void TForm1::FormClose() {
    if (FTerminating) return;
    if (FSettingsFile.empty()) {
        ShowMessageBox(window, MessageKind::Warning, "Kestrune",
                       "The output folder could not be saved: the program's folder cannot be "
                       "written, and neither HOME nor XDG_CONFIG_HOME names a folder of your "
                       "own for the settings.");
        FBackupLines.reset();
        return;
    }
    if (FSettingsFile.parent_path() != PathFromAnsi(FAppFolder).parent_path())
        // The user's folder, on first use; a failure shows in the write.
        (void)ForceDirectories(FSettingsFile.parent_path());
    if (Expected<void> saved =
            WriteIniString(FSettingsFile, "General", "Outputpath", WideToAnsi(ePath->Text()));
        !saved) {
        // The folder is still remembered for this session only; say so rather than lose it
        // silently.
        ShowMessageBox(window, MessageKind::Warning, "Kestrune",
                       "The output folder could not be saved in \"" +
                           WideToUtf8(FSettingsFile.u16string()) + "\". " +
                           SystemError(saved.error().code).text);
    }
    FBackupLines.reset();
}

} // namespace kestrune
