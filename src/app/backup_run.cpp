// The backup run of the main window and the Restore button.
#include "app/command_line.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "app/session.h"
#include "app/sorted_list_box.h"
#include "backup/backup_file.h"
#include "backup/restore_window.h"
#include "base/file_io.h"
#include "base/paths.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace kestrune {
namespace {

std::filesystem::path ToPath(const QString& name) {
    return std::filesystem::path(QFile::encodeName(name).toStdString());
}

} // namespace

void TForm1::OXLDFS1DFSEnum2(TOXLDFS*, AnsiString Path, AnsiString Share, AnsiString Comment,
                             int32_t Index, bool& Abort) {
    FBackupLines->Add(FormatBackupLine(Path, Share, Comment, Index));
    Abort = FCancelRequested;
}

void TForm1::SetRunControls(bool running) {
    for (QWidget* control : {static_cast<QWidget*>(ListBox1), static_cast<QWidget*>(BitBtn1),
                             static_cast<QWidget*>(BitBtn3), static_cast<QWidget*>(ePath),
                             static_cast<QWidget*>(ePrefix)})
        control->setEnabled(!running);
    Bitbtn2->setText(running ? "Cancel" : "Close");
}

void TForm1::BackupNamespace(const QString& folder, const QString& name) {
    OXLDFS1.SetDFSEntry(AnsiToWide("\\\\" + NTADS1.ToDotname(ToAnsi(cbDomains->currentText())) +
                                   "\\" + ToAnsi(name)));
    try {
        OXLDFS1.EnumLinks();
    } catch (...) {
        // What was reported before the failure is still written.
    }
    std::filesystem::path file = ToPath(folder + ePrefix->text() + name + ".txt");
    // A name from the server that is not a plain file name would write elsewhere.
    if (!IsPlainFileName(ToAnsi(name))) throw InvalidFileName(file);
    WriteBackupFile(file, *FBackupLines);
}

void TForm1::BitBtn1Click() {
    FCancelRequested = false;
    if (ePath->text().isEmpty()) return;
    ePath->setText(ToQString(IncludeTrailingPathDelimiter(ToAnsi(ePath->text()))));
    const QString folder = ePath->text();
    ForceDirectories(ToPath(folder.chopped(1))); // a failure shows at the first file

    FBackupRunning = true;
    SetRunControls(true);
    QApplication::processEvents();

    QString failure;
    const int count = ListBox1->count();
    for (int i = 0; i < count; ++i) {
        if (FCancelRequested) break;
        QListWidgetItem* item = ListBox1->item(i);
        if (!item || !item->isSelected()) continue;
        try {
            BackupNamespace(folder, item->text());
        } catch (const EFileError& e) {
            failure = QString::fromLocal8Bit(e.what());
        }
        // The lines of a namespace never carry over to the next, written or not.
        FBackupLines->Clear();
        if (!failure.isEmpty()) break;
        QApplication::processEvents();
    }
    FBackupRunning = false;
    SetRunControls(false);
    if (!failure.isEmpty()) ShowErrorMessage(this, "Kestrune", failure);

    // Unattended, the window closes after the run; after a failure it stays with its message,
    // unless nobody can see it.
    bool unattended = !CommandLineArguments().empty();
    if ((unattended && (failure.isEmpty() || RunningHeadless())) || FCloseAfterRun) {
        FCloseAfterRun = false;
        close();
    }
}

void TForm1::BitBtn3Click() {
    if (!fRestore) return;
    if (!ePath->text().isEmpty()) OpenDialog1->setDirectory(ePath->text());
    if (OpenDialog1->exec() != QDialog::Accepted || OpenDialog1->selectedFiles().isEmpty()) return;
    std::filesystem::path file = ToPath(OpenDialog1->selectedFiles().first());
    TStringList lines;
    try {
        lines.LoadFromFile(file);
    } catch (const EFileError& e) {
        QMessageBox::critical(this, "Kestrune", QString::fromLocal8Bit(e.what()));
        return;
    }
    FRestoreFileName = file;
    fRestore->LoadLines(lines);
    fRestore->SelectAllButtonClick();
    fRestore->exec();
}

} // namespace kestrune
