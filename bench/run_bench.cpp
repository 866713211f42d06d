// The backup run and the restore run, end to end through the windows (offscreen).
//   run_bench [LINKS] [RESTORE_LINES]   (defaults 50000 links of 2 targets; 10000 lines)
// Backup: one namespace through BitBtn1Click (enumerate, format, sort, write), compared with
// `sort -f` of the same lines into a file. Restore: a file of RESTORE_LINES lines through the
// restore window into the memory store, with the status window shown.
#include "backup/backup_file.h"
#include "base/file_io.h"
#include "gui/qt/program_windows.h"
#include "namespace_ldif.h"
#include "platform/memory_store/memory_store.h"
#include "platform/platform.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

using namespace kestrune;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

class PaintCounter : public QObject {
  public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

bool Open(const fs::path& ldif) {
    std::string error;
    auto opened = store::MemoryStore::Open(ldif);
    error = opened ? std::string() : opened.error().text;
    std::shared_ptr<store::MemoryStore> store = opened ? std::move(*opened) : nullptr;
    if (!store) std::fprintf(stderr, "%s\n", error.c_str());
    if (store) InstallStorePlatform(store);
    return store != nullptr;
}

void WaitForStartup(MainWindow& form) {
    while (form.Timer1->isActive())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
}

// From creating the windows to a main window with the sample's namespaces listed.
int BenchStartup(const fs::path& work) {
    fs::copy_file(KESTRUNE_SAMPLE, work / "sample.ldif");
    auto start = Clock::now();
    if (!Open(work / "sample.ldif")) return 1;
    std::unique_ptr<ProgramWindows> w = CreateProgramWindows();
    w->Form1->show();
    while (w->Form1->ListBox1->count() == 0 && Seconds(start) < 10)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    std::printf("start-up to a filled main window  %.3f s (%d namespaces; 0.2 s of it is the "
                "start-up timer)\n",
                Seconds(start), w->Form1->ListBox1->count());
    fs::remove(w->Form1->form().SettingsFile());
    return w->Form1->ListBox1->count() > 0 ? 0 : 1;
}

int BenchBackup(const fs::path& work, int links) {
    fs::path ldif = work / "big.ldif";
    bench::WriteNamespaceLdif(ldif, links);
    if (!Open(ldif)) return 1;
    std::unique_ptr<ProgramWindows> w = CreateProgramWindows();
    w->Form1->show();
    WaitForStartup(*w->Form1);
    w->Form1->cbDomains->setEditText("bench.test");
    w->Form1->form().cbDomainsExit();
    w->Form1->ePath->setText(QString::fromStdString((work / "out").string()));
    auto start = Clock::now();
    w->Form1->form().BitBtn1Click();
    double run = Seconds(start);

    fs::path file = work / "out" / "Big.txt";
    start = Clock::now();
    std::string command =
        "sort -f '" + file.string() + "' -o '" + (work / "sorted.txt").string() + "'";
    if (std::system(command.c_str()) != 0) return 1;
    double sortSeconds = Seconds(start);
    // The sort and write alone, on the same lines.
    TStringList lines;
    lines.LoadFromFile(file);
    start = Clock::now();
    WriteBackupFile(work / "resorted.txt", lines);
    double sortWrite = Seconds(start);

    std::printf("backup of %d links (%ju bytes)\n", links, fs::file_size(file));
    std::printf("  BitBtn1Click         %.3f s\n", run);
    std::printf("  sort -f              %.3f s (LANG=%s)\n", sortSeconds,
                getenv("LANG") ? getenv("LANG") : "");
    std::printf("  ratio                %.1f x\n", run / sortSeconds);
    std::printf("  its sort and write   %.3f s (%.1f x sort -f)\n", sortWrite,
                sortWrite / sortSeconds);
    return 0;
}

int BenchRestore(const fs::path& work, int lines) {
    fs::path ldif = work / "empty.ldif";
    bench::WriteNamespaceLdif(ldif, 0);
    if (!Open(ldif)) return 1;
    std::vector<AnsiString> backup;
    for (int i = 0; i < lines; ++i) {
        int link = i / 2;
        backup.push_back(std::string(i % 2 ? "dfscmd /add" : "dfscmd /map") +
                         " \"\\\\bench.test\\Big\\Dept" + std::to_string(link % 100) + "\\Share" +
                         std::to_string(link) + "\" \"\\\\FS" + std::to_string(i % 2) + "\\Share" +
                         std::to_string(link) + "\" \"Link " + std::to_string(link) + "\"");
    }
    std::unique_ptr<ProgramWindows> w = CreateProgramWindows();
    w->Form1->show();
    WaitForStartup(*w->Form1);
    PaintCounter counter;
    w->fStatus->re1->viewport()->installEventFilter(&counter);
    w->fRestore->form().LoadLines(backup);
    w->fRestore->form().SelectAllButtonClick();
    auto start = Clock::now();
    w->fRestore->form().RestoreButtonClick();
    double run = Seconds(start);
    int restored = w->fStatus->re1->toPlainText().count("\tRestored");
    std::printf("restore of %d lines\n", lines);
    std::printf("  RestoreButtonClick   %.3f s (%d restored, %d repaints of the status window)\n",
                run, restored, counter.paints);
    return restored == lines ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    int links = argc > 1 ? std::atoi(argv[1]) : 50000;
    int lines = argc > 2 ? std::atoi(argv[2]) : 10000;
    fs::path work = fs::temp_directory_path() / ("kestrune_run_bench_" + std::to_string(getpid()));
    fs::create_directories(work);
    int result = BenchStartup(work);
    if (result == 0) result = BenchBackup(work, links);
    if (result == 0) result = BenchRestore(work, lines);
    fs::remove_all(work);
    return result;
}
