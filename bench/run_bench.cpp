// The backup run and the restore run, end to end through the windows (offscreen).
//   run_bench [LINKS] [RESTORE_LINES]   (defaults 50000 links of 2 targets; 10000 lines)
// Backup: one namespace through BitBtn1Click (enumerate, format, sort, write), compared with
// `sort -f` of the same lines into a file. Restore: a file of RESTORE_LINES lines into the
// memory store by the command line's --restore, then through the restore window with the
// status window shown, compared over a few rounds.
#include "backup/backup_file.h"
#include "base/file_io.h"
#include "cli/command_line.h"
#include "gui/qt/log_view.h"
#include "gui/qt/program_windows.h"
#include "namespace_ldif.h"
#include "platform/memory_store/memory_store.h"
#include "platform/platform.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <sstream>
#include <unistd.h>

using namespace kestrune;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

struct Timing {
    double seconds = 0;
    double processor = 0; // on a busy machine the elapsed time says more about the others
};

Timing Measure(const std::function<void()>& work) {
    const auto start = Clock::now();
    const std::clock_t cpuStart = std::clock();
    work();
    return {Seconds(start), static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC};
}

// Hands the next visible modal window of type T to answer, from a timer armed before the call
// that blocks in its exec().
template <typename T> void WhenModal(std::function<void(T*)> answer) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        T* window = dynamic_cast<T*>(QApplication::activeModalWidget());
        if (!window || !window->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        answer(window);
    });
    timer->start(20);
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

// The same backup file restored by the command line's --restore, then through the Restore
// window (opened from the main window's Restore button) with the Status window shown, each into
// its own copy of an empty namespace. Both write the restore log beside the file. The two take
// turns for a few rounds: on a busy machine one run of each moves by a third between two runs,
// and the rounds' middle ratio says more than any one of them.
constexpr int kRestoreRounds = 3;

struct RestoreRound {
    Timing console, window;
    long consoleRestored = 0;
    int windowRestored = 0;
    int paints = 0;
    double Ratio() const { return window.seconds / console.seconds; }
    double ProcessorRatio() const { return window.processor / console.processor; }
};

std::string BigRestoreFile(int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i) {
        const std::string link = std::to_string(i / 2);
        text += std::string(i % 2 ? "dfscmd /add" : "dfscmd /map") +
                " \"\\\\bench.test\\Big\\Dept" + std::to_string(i / 2 % 100) + "\\Share" + link +
                "\" \"\\\\FS" + std::to_string(i % 2) + "\\Share" + link + "\" \"Link " + link +
                "\"\r\n";
    }
    return text;
}

// The window's side of a round: the file chosen in the open dialog, the Restore window left to
// lay out its list as a person would see it, then its Restore button.
void RestoreThroughTheWindows(ProgramWindows& w, const fs::path& file, RestoreRound& round) {
    PaintCounter counter;
    w.fStatus->re1->viewport()->installEventFilter(&counter);
    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        name->setText(QString::fromStdString(file.string()));
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    });
    WhenModal<RestoreWindow>([&](RestoreWindow* restore) {
        // Its list lays out its lines a hundred at a time, one batch per turn of the event loop.
        QElapsedTimer opened;
        opened.start();
        while (opened.elapsed() < 1000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        round.window = Measure([&] { restore->form().RestoreButtonClick(); });
        restore->form().CloseButtonClick();
    });
    w.Form1->form().BitBtn3Click();
    QApplication::processEvents();
    w.fStatus->re1->viewport()->removeEventFilter(&counter);
    round.paints = counter.paints;
    for (qsizetype i = 0; i < w.fStatus->re1->LineCount(); ++i)
        round.windowRestored += w.fStatus->re1->LineText(i).contains(u"\tRestored");
}

// The middle of the rounds' values.
double Middle(const std::vector<RestoreRound>& rounds, double (RestoreRound::*value)() const) {
    std::vector<double> values;
    for (const RestoreRound& round : rounds)
        values.push_back((round.*value)());
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int BenchRestore(const fs::path& work, int lines) {
    const fs::path file = work / "Big.txt";
    OrThrowFileError(WriteWholeFile(file, BigRestoreFile(lines)));
    std::unique_ptr<ProgramWindows> w;
    std::vector<RestoreRound> rounds(kRestoreRounds);
    for (int r = 0; r < kRestoreRounds; ++r) {
        RestoreRound& round = rounds[static_cast<size_t>(r)];
        const fs::path console = work / ("console" + std::to_string(r) + ".ldif");
        bench::WriteNamespaceLdif(console, 0);
        if (!Open(console)) return 1;
        std::ostringstream out, err;
        round.console = Measure([&] {
            RunCommandLine({"--restore", file.string(), "--quiet"}, {out, err});
        });
        const std::string output = out.str();
        round.consoleRestored = std::count(output.begin(), output.end(), '\n');

        const fs::path window = work / ("window" + std::to_string(r) + ".ldif");
        bench::WriteNamespaceLdif(window, 0);
        if (!Open(window)) return 1;
        if (!w) {
            w = CreateProgramWindows();
            w->Form1->show();
            WaitForStartup(*w->Form1);
        }
        RestoreThroughTheWindows(*w, file, round);
    }

    std::printf("restore of %d lines from a file, %d rounds (processor time in brackets)\n", lines,
                kRestoreRounds);
    bool whole = true;
    for (const RestoreRound& round : rounds) {
        std::printf("  --restore %.3f s (%.3f s; %ld lines of output); RestoreButtonClick %.3f s "
                    "(%.3f s; %d restored, %d repaints of the status window): %.2f x\n",
                    round.console.seconds, round.console.processor, round.consoleRestored,
                    round.window.seconds, round.window.processor, round.windowRestored,
                    round.paints, round.Ratio());
        whole = whole && round.windowRestored == lines && round.consoleRestored == lines;
    }
    std::printf("  ratio (the middle round)  %.2f x elapsed, %.2f x processor\n",
                Middle(rounds, &RestoreRound::Ratio),
                Middle(rounds, &RestoreRound::ProcessorRatio));
    return whole ? 0 : 1;
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
