// A restore into the simulated domain killed (SIGKILL) while it writes its changes in groups:
// the file still loads, and every line reported restored is in it.
#include "backup/restore_run.h"

#include "platform/memory_store/memory_store.h"
#include "platform/netdfs_over_store/dfs_target_list.h"
#include "platform/platform.h"
#include "support/temp_folder.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrune {
namespace {

TEST(RestoreCrash, KilledDuringAGroupedWriteTheFileLoadsAndHoldsEveryLineReported) {
    testing::TempFolder scratch;
    const std::filesystem::path domain = scratch.path() / "domain.ldif";
    std::vector<std::string> lines;
    for (int i = 0; i < 3000; ++i)
        lines.push_back("dfscmd /map \"\\\\example.com\\Public\\Crash\\L" + std::to_string(i) +
                        "\" \"\\\\FS1\\S" + std::to_string(i) + "\" \"\"");
    // Killed at once, within the first group, and in later ones.
    for (size_t killAfter : {size_t(0), size_t(3), size_t(700), size_t(1600)}) {
        SCOPED_TRACE("killed after " + std::to_string(killAfter) + " lines reported");
        std::filesystem::copy_file(std::string(KESTRUNE_SAMPLES) + "/example.ldif", domain,
                                   std::filesystem::copy_options::overwrite_existing);
        int reports[2];
        ASSERT_EQ(::pipe(reports), 0);
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(reports[0]);
            if (!InstallSimulatedDomain(domain)) ::_exit(3);
            TOXLDFS dfs;
            SilentRestoreLog log;
            bool cancel = false;
            RestoreRun run(dfs, log, cancel);
            // Each line reported restored, as standard output would show it.
            run.lineDone = [&](const RestoredLine& line) {
                if (line.outcome != RestoredLine::Outcome::Restored) return;
                std::string report = std::to_string(line.index) + "\n";
                (void)!::write(reports[1], report.data(), report.size());
            };
            run.Run(AllLines(lines));
            ::_exit(0);
        }
        ::close(reports[1]);
        std::vector<int> reported;
        std::string pending;
        char buffer[4096];
        bool killed = false;
        for (;;) {
            if (!killed && reported.size() >= killAfter) {
                ::kill(child, SIGKILL);
                killed = true;
            }
            ssize_t n = ::read(reports[0], buffer, sizeof buffer);
            if (n <= 0) break;
            pending.append(buffer, static_cast<size_t>(n));
            for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
                reported.push_back(std::stoi(pending.substr(0, end)));
                pending.erase(0, end + 1);
            }
        }
        ::close(reports[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "the restore ended before it was killed";

        auto opened = store::MemoryStore::Open(domain);
        ASSERT_TRUE(opened) << opened.error().text;
        std::vector<store::Entry> found;
        ASSERT_TRUE(store::SearchAll(**opened,
                                     {"CN=Public,CN=Public,CN=Dfs-Configuration,CN=System,DC="
                                      "example,DC=com",
                                      store::Scope::OneLevel,
                                      "(msDFS-LinkPathv2=/Crash/*)",
                                      {"msDFS-LinkPathv2", "msDFS-TargetListv2"},
                                      0},
                                     found)
                        .ok());
        std::map<std::string, std::vector<std::u16string>> links;
        for (const store::Entry& e : found)
            links[e.First("msDFS-LinkPathv2")] =
                DecodeTargetList(e.First("msDFS-TargetListv2")).value_or({});
        EXPECT_GE(links.size(), reported.size());
        for (int i : reported)
            EXPECT_EQ(links["/Crash/L" + std::to_string(i)],
                      std::vector<std::u16string>{u"\\\\FS1\\S" + Utf8ToWide(std::to_string(i))})
                << "line " << i << " was reported restored";
    }
}

} // namespace
} // namespace kestrune
