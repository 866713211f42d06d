// What the properties files cost a backup: the backup run over the generated namespace Big,
// alternately without and with its properties file, CPU time of each (best of five), and
// whether the properties add at most 20%.
//   backup_properties_bench LDIF-FILE OUTPUT-FOLDER
#include "backup/backup_run.h"
#include "platform/memory_store/memory_store.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>

using namespace kestrune;

namespace {

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: backup_properties_bench LDIF-FILE OUTPUT-FOLDER\n");
        return 2;
    }
    auto opened = store::MemoryStore::Open(argv[1]);
    if (!opened) {
        std::fprintf(stderr, "%s\n", opened.error().text.c_str());
        return 2;
    }
    std::shared_ptr<store::MemoryStore> directory = std::move(*opened);
    InstallStorePlatform(directory);
    std::filesystem::create_directories(argv[2]);
    TOXLDFS dfs;
    TStringList lines;
    bool cancel = false;
    double best[2] = {1e9, 1e9};
    for (int round = 0; round < 5; ++round)
        for (int with = 0; with < 2; ++with) {
            BackupRun run(dfs, lines, cancel);
            ConnectBackupRun connect(dfs, run);
            run.writeProperties = with == 1;
            double start = CpuSeconds();
            BackupRunResult result = run.Run("bench.test", {u"Big"}, argv[2], "");
            double used = CpuSeconds() - start;
            if (result.namespaces.empty() ||
                result.namespaces[0].outcome != NamespaceBackup::Outcome::Written) {
                std::fprintf(stderr, "the backup failed: %s\n",
                             result.namespaces.empty() ? "" : result.namespaces[0].error.c_str());
                return 2;
            }
            best[with] = std::min(best[with], used);
        }
    double added = (best[1] - best[0]) / best[0] * 100;
    std::printf("backup run without properties: %.2f s CPU; with: %.2f s CPU; +%.1f%% (goal <= "
                "20%%)\n",
                best[0], best[1], added);
    UninstallPlatform();
    return added <= 20 ? 0 : 1;
}
