// The backup run of the main window and the Restore button: the window gathers what the user
// chose, drives the backup and restore runs, and reports their outcome.
#include "backup/backup_run.h"
#include "app/command_line.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/qt_text.h"
#include "app/session.h"
#include "app/sorted_list_box.h"
#include "backup/restore_window.h"
#include "backup/run_report.h"
#include "base/file_io.h"
#include "base/paths.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace kestrune {
namespace {

std::filesystem::path ToPath(const QString& name) {
    return std::filesystem::path(QFile::encodeName(name).toStdString());
}

} // namespace

void TForm1::OXLDFS1DFSEnum2(TOXLDFS*, AnsiString Path, AnsiString Share, AnsiString Comment,
                             int32_t Index, bool& Abort) {
    if (FRun)
        FRun->Report(Path, Share, Comment, Index, Abort);
    else
        Abort = FCancelRequested;
}

void TForm1::SetRunControls(bool running) {
    for (QWidget* control : {static_cast<QWidget*>(ListBox1), static_cast<QWidget*>(BitBtn1),
                             static_cast<QWidget*>(BitBtn3), static_cast<QWidget*>(ePath),
                             static_cast<QWidget*>(ePrefix)})
        control->setEnabled(!running);
    Bitbtn2->setText(running ? "Cancel" : "Close");
}

// The window's state during a run, put back however the run ends: the controls, the running
// flag, the run the enumeration events go to, and the keyboard focus (disabling the focused
// Backup button would otherwise leave it on Close, where the next Space ends the program).
class TForm1::RunningState {
  public:
    RunningState(TForm1& form, BackupRun& run)
        : form_(form), focused_(QApplication::focusWidget()) {
        form.FBackupRunning = true;
        form.FRun = &run;
        form.SetRunControls(true);
    }
    ~RunningState() {
        form_.FRun = nullptr;
        form_.FBackupRunning = false;
        form_.SetRunControls(false);
        if (focused_ && focused_->isEnabled() && focused_->window() == &form_)
            focused_->setFocus();
        else
            form_.ListBox1->setFocus();
    }
    RunningState(const RunningState&) = delete;
    RunningState& operator=(const RunningState&) = delete;

  private:
    TForm1& form_;
    QPointer<QWidget> focused_;
};

void TForm1::BitBtn1Click() {
    FCancelRequested = false;
    if (ePath->text().isEmpty()) return;
    if (!ePath->text().endsWith(QChar(kPathDelim))) ePath->setText(ePath->text() + kPathDelim);
    // Folder and prefix keep every character: only the files' contents use the code page.
    const std::filesystem::path folder = ToPath(ePath->text());
    ForceDirectories(folder); // a failure shows at the first file

    std::vector<WideString> chosen;
    for (int i = 0; i < ListBox1->count(); ++i)
        if (ListBox1->item(i)->isSelected())
            chosen.push_back(ListBox1->item(i)->text().toStdU16String());

    BackupRunResult result;
    {
        BackupRun run(OXLDFS1, *FBackupLines, FCancelRequested);
        RunningState running(*this, run);
        QApplication::processEvents();
        run.processMessages = [] { QApplication::processEvents(); };
        result = run.Run(NTADS1.ToDotname(ToAnsi(cbDomains->currentText())), chosen, folder,
                         ToPath(ePrefix->text()));
    }

    bool unattended = !CommandLineArguments().empty();
    RunReport report = DescribeBackupRun(result);
    if (unattended) SetExitStatusAtLeast(report.exitStatus);
    if (!report.errors.empty())
        ShowMessageBox(this, MessageKind::Error, "Kestrune", QString::fromStdString(report.errors));
    if (!report.warnings.empty())
        ShowMessageBox(this, MessageKind::Warning, "Kestrune",
                       QString::fromStdString(report.warnings));

    // Unattended, the window closes after the run; after a failed write it stays with its
    // message, unless nobody can see it.
    if ((unattended && (!result.WriteFailed() || RunningHeadless())) || FCloseAfterRun) {
        FCloseAfterRun = false;
        close();
    }
}

void TForm1::BitBtn3Click() {
    if (!fRestore) return;
    if (!ePath->text().isEmpty()) OpenDialog1->setDirectory(ePath->text());
    if (OpenDialog1->exec() != QDialog::Accepted || OpenDialog1->selectedFiles().isEmpty()) return;
    std::filesystem::path file = ToPath(OpenDialog1->selectedFiles().first());
    std::string problem;
    std::optional<std::vector<AnsiString>> lines;
    try {
        lines = ReadBackupLines(file, problem);
    } catch (const EFileError& e) {
        problem = e.what();
    }
    if (!lines) {
        ShowMessageBox(this, MessageKind::Error, "Kestrune",
                       QString::fromLocal8Bit(problem.c_str()));
        return;
    }
    FRestoreFileName = file;
    fRestore->LoadLines(*lines);
    fRestore->SelectAllButtonClick();
    // Modal to the main window only: the Status window beside it stays usable during a run.
    fRestore->setWindowModality(Qt::WindowModal);
    fRestore->exec();
}

} // namespace kestrune
