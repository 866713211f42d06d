// The command line's restore, dry run, compare and verify on a generated namespace.
//   restore_bench [LINES] [EXISTING]   (defaults 10000 lines, 0 links there beforehand)
// LINES backup lines (two targets per link) go into namespace Big of bench.test, which starts
// with EXISTING links of its own. Prints the time of each command and its exit status.
#include "backup/run_report.h"
#include "base/file_io.h"
#include "cli/command_line.h"
#include "namespace_ldif.h"
#include "platform/platform.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <unistd.h>

using namespace kestrune;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

int Timed(const char* what, const std::vector<std::string>& arguments, int expected) {
    std::ostringstream out, err;
    auto start = Clock::now();
    std::clock_t cpuStart = std::clock();
    int status = RunCommandLine(arguments, {out, err});
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    // The processor time too: on a busy machine the elapsed time says more about the others.
    double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    std::printf("  %-22s %.3f s elapsed, %.3f s processor  (status %d, %zu bytes of output)\n",
                what, seconds, cpu, status, out.str().size());
    if (status != expected) std::fprintf(stderr, "%s", err.str().c_str());
    return status == expected ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const int lines = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int existing = argc > 2 ? std::atoi(argv[2]) : 0;
    fs::path work =
        fs::temp_directory_path() / ("kestrune_restore_bench_" + std::to_string(getpid()));
    fs::create_directories(work);
    bench::WriteNamespaceLdif(work / "domain.ldif", existing);
    if (Expected<void> installed = InstallSimulatedDomain(work / "domain.ldif"); !installed) {
        std::fprintf(stderr, "%s\n", installed.error().text.c_str());
        return 1;
    }
    std::string text = "dfscmd /map \"\\\\bench.test\\Big\" \"\\\\DC1\\Big\" \"\"\r\n";
    for (int i = 0; i < lines; ++i) {
        const std::string link = std::to_string(i / 2);
        text += std::string(i % 2 ? "dfscmd /add" : "dfscmd /map") +
                " \"\\\\bench.test\\Big\\Dept" + std::to_string(i / 2 % 100) + "\\Share" + link +
                "\" \"\\\\FS" + std::to_string(i % 2) + "\\Share" + link + "\" \"Link " + link +
                "\"\r\n";
    }
    const std::string file = (work / "Big.txt").string();
    OrThrowFileError(WriteWholeFile(file, text));

    std::printf("%d lines (and the root's) into a namespace of %d links\n", lines, existing);
    int failures = Timed("--restore --dry-run", {"--restore", file, "--dry-run"}, kExitSuccess);
    failures += Timed("--compare (before)", {"--compare", file}, kExitFailure);
    failures += Timed("--restore", {"--restore", file}, kExitSuccess);
    failures += Timed("--verify", {"--verify", file}, kExitSuccess);
    failures +=
        Timed("--compare (after)", {"--compare", file}, existing ? kExitFailure : kExitSuccess);
    failures += Timed("--restore (again)", {"--restore", file}, kExitSuccess);
    std::printf("  domain file            %ju bytes after the restore\n",
                static_cast<uintmax_t>(fs::file_size(work / "domain.ldif")));
    UninstallPlatform();
    fs::remove_all(work);
    return failures == 0 ? 0 : 1;
}
