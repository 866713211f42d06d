// The main window's backup run: the Backup button, and the unattended start.
#include "backup/backup_run.h"
#include "backup/run_report.h"
#include "base/file_io.h"
#include "base/paths.h"
#include "directory/domain_sids.h"
#include "gui/forms/main_form.h"
#include "gui/forms/message_box.h"
#include "gui/forms/session.h"

namespace kestrune {

void TForm1::OXLDFS1DFSEnum2(TOXLDFS*, AnsiString Path, AnsiString Share, AnsiString Comment,
                             int32_t Index, bool& Abort) {
    if (FRun)
        FRun->Report(Path, Share, Comment, Index, Abort);
    else
        Abort = FCancelRequested;
}

void TForm1::SetRunControls(bool running) {
    for (Control* control :
         std::initializer_list<Control*>{ListBox1, BitBtn1, BitBtn3, ePath, ePrefix})
        control->SetEnabled(!running);
    Bitbtn2->SetCaption(running ? u"Cancel" : u"Close");
}

// The window's state during a run, put back however the run ends: the controls, the running
// flag, the run the enumeration events go to, and the keyboard focus (disabling the focused
// Backup button would otherwise leave it on Close, where the next Space ends the program).
class TForm1::RunningState {
  public:
    RunningState(TForm1& form, BackupRun& run) : form_(form) {
        for (Control* control : std::initializer_list<Control*>{
                 form.cbDomains, form.ListBox1, form.ePrefix, form.ePath, form.Checkbox1,
                 form.BitBtn1, form.BitBtn3, form.Bitbtn2})
            if (control->Focused()) focused_ = control;
        form.FBackupRunning = true;
        form.FRun = &run;
        form.SetRunControls(true);
    }
    ~RunningState() {
        form_.FRun = nullptr;
        form_.FBackupRunning = false;
        form_.SetRunControls(false);
        if (focused_ && focused_->Enabled())
            focused_->SetFocus();
        else
            form_.ListBox1->SetFocus();
    }
    RunningState(const RunningState&) = delete;
    RunningState& operator=(const RunningState&) = delete;

  private:
    TForm1& form_;
    Control* focused_ = nullptr;
};

void TForm1::BitBtn1Click() {
    FCancelRequested = false;
    if (ePath->Text().empty()) return;
    EndPathWithDelimiter();
    // Folder and prefix keep every character: only the files' contents use the code page.
    const std::filesystem::path folder = PathFromWide(ePath->Text());
    (void)ForceDirectories(folder); // a failure shows at the first file

    std::vector<WideString> chosen;
    for (int i = 0; i < ListBox1->Count(); ++i)
        if (ListBox1->Selected(i)) chosen.push_back(ListBox1->Item(i));

    BackupRunResult result;
    {
        BackupRun run(OXLDFS1, *FBackupLines, FCancelRequested);
        RunningState running(*this, run);
        window->ProcessMessages();
        run.processMessages = [this] { window->ProcessMessages(); };
        const AnsiString domain = NTADS1.ToDotname(WideToAnsi(cbDomains->Text()));
        if (Expected<DomainSids> sids = ReadDomainSids(domain)) run.domainSids = std::move(*sids);
        result = run.Run(domain, chosen, folder, PathFromWide(ePrefix->Text()));
    }

    const bool unattended = !FArguments.empty();
    RunReport report = DescribeBackupRun(result);
    if (unattended) SetExitStatusAtLeast(report.exitStatus);
    if (!report.errors.empty())
        ShowMessageBox(window, MessageKind::Error, "Kestrune", report.errors);
    if (!report.warnings.empty())
        ShowMessageBox(window, MessageKind::Warning, "Kestrune", report.warnings);

    // Unattended, the window closes after the run; after a failed write it stays with its
    // message, unless nobody can see it.
    if ((unattended && (!result.WriteFailed() || RunningHeadless())) || FCloseAfterRun) {
        FCloseAfterRun = false;
        window->Close();
    }
}

} // namespace kestrune
