// Restores running at the same time in two programs against one simulated domain file.
#include "backup/restore_run.h"

#include "base/file_io.h"
#include "platform/memory_store/memory_store.h"
#include "platform/netdfs_over_store/dfs_target_list.h"
#include "platform/netdfs_over_store/netdfs_over_store.h"
#include "platform/platform.h"
#include "support/temp_folder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrune {
namespace {

class ConcurrentRestore : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = scratch.path();
        domain = folder / "domain.ldif";
        std::filesystem::copy_file(std::string(KESTRUNE_SAMPLES) + "/example.ldif", domain);
    }

    // Runs a restore of each program's lines in its own process, all started at once; the
    // outcome of every line ("Restored" or "Failed <code>"), per program, in line order.
    std::vector<std::vector<std::string>>
    RestoreTogether(const std::vector<std::vector<std::string>>& lines) {
        int start[2];
        EXPECT_EQ(::pipe(start), 0);
        std::vector<pid_t> children;
        for (size_t p = 0; p < lines.size(); ++p) {
            pid_t pid = ::fork();
            if (pid == 0) {
                ::close(start[1]);
                char go;
                (void)!::read(start[0], &go, 1); // the end of the pipe starts everyone
                if (!InstallSimulatedDomain(domain)) ::_exit(3);
                TOXLDFS dfs;
                SilentRestoreLog log;
                bool cancel = false;
                RestoreRun run(dfs, log, cancel);
                RestoreRunResult result = run.Run(AllLines(lines[p]));
                std::vector<std::string> outcomes(lines[p].size(), "none");
                for (const RestoredLine& r : result.lines)
                    outcomes.at(static_cast<size_t>(r.index)) =
                        r.outcome == RestoredLine::Outcome::Restored
                            ? "Restored"
                            : "Failed " + std::to_string(r.status);
                std::ofstream out(folder / std::to_string(p));
                for (const std::string& r : outcomes)
                    out << r << '\n';
                out.close();
                ::_exit(out ? 0 : 4);
            }
            children.push_back(pid);
        }
        ::close(start[0]);
        ::close(start[1]);
        std::vector<std::vector<std::string>> results;
        for (size_t p = 0; p < children.size(); ++p) {
            int status = 0;
            ::waitpid(children[p], &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "program " << p;
            std::ifstream in(folder / std::to_string(p));
            std::vector<std::string> got;
            for (std::string r; std::getline(in, r);)
                got.push_back(r);
            results.push_back(std::move(got));
        }
        return results;
    }

    // Every link under \Restored of the Public namespace with its targets, as a fresh load
    // of the file reads them.
    std::map<std::u16string, std::vector<std::u16string>> LinksInFile() {
        std::string error;
        auto opened = store::MemoryStore::Open(domain);
        error = opened ? std::string() : opened.error().text;
        std::shared_ptr<store::MemoryStore> store = opened ? std::move(*opened) : nullptr;
        EXPECT_TRUE(store) << error;
        std::map<std::u16string, std::vector<std::u16string>> links;
        if (!store) return links;
        std::vector<store::Entry> found;
        EXPECT_TRUE(store::SearchAll(*store,
                                     {"CN=Public,CN=Public,CN=Dfs-Configuration,CN=System,DC="
                                      "example,DC=com",
                                      store::Scope::OneLevel,
                                      "(msDFS-LinkPathv2=/Restored/*)",
                                      {},
                                      0},
                                     found)
                        .ok());
        for (const store::Entry& e : found) {
            auto& targets = links[Utf8ToWide(e.First("msDFS-LinkPathv2"))];
            EXPECT_TRUE(targets.empty()) << "link twice: " << e.First("msDFS-LinkPathv2");
            targets = DecodeTargetList(e.First("msDFS-TargetListv2")).value_or(targets);
        }
        return links;
    }

    static std::string Line(const char* verb, const std::string& link, const std::string& target) {
        return std::string("dfscmd ") + verb + " \"\\\\example.com\\Public\\Restored\\" + link +
               "\" \"\\\\" + target + "\" \"comment of " + link + "\"";
    }

    testing::TempFolder scratch;
    std::filesystem::path folder, domain;
};

TEST_F(ConcurrentRestore, TheSameBackupTwiceGivesEachLinkOnceAndTrueReports) {
    // 300 links, the first 100 with a second target.
    std::vector<std::string> backup;
    for (int i = 0; i < 300; ++i)
        backup.push_back(Line("/map", "L" + std::to_string(i), "FS1\\S" + std::to_string(i)));
    for (int i = 0; i < 100; ++i)
        backup.push_back(Line("/add", "L" + std::to_string(i), "FS2\\S" + std::to_string(i)));

    auto results = RestoreTogether({backup, backup});
    ASSERT_EQ(results.size(), 2u);
    ASSERT_EQ(results[0].size(), backup.size());
    ASSERT_EQ(results[1].size(), backup.size());
    for (size_t i = 0; i < backup.size(); ++i) {
        // One program added the target; the other found it there.
        std::set<std::string> both{results[0][i], results[1][i]};
        EXPECT_EQ(both, (std::set<std::string>{"Restored", "Failed 80"})) << backup[i];
    }
    auto links = LinksInFile();
    ASSERT_EQ(links.size(), 300u);
    for (int i = 0; i < 300; ++i) {
        std::u16string n = Utf8ToWide(std::to_string(i));
        std::vector<std::u16string> expected{u"\\\\FS1\\S" + n};
        if (i < 100) expected.push_back(u"\\\\FS2\\S" + n);
        EXPECT_EQ(links[u"/Restored/L" + n], expected) << i;
    }
}

TEST_F(ConcurrentRestore, TargetsAddedToOneLinkByTwoProgramsAreAllKept) {
    std::vector<std::vector<std::string>> lines(2);
    for (int p = 0; p < 2; ++p)
        for (int i = 0; i < 150; ++i)
            lines[p].push_back(Line(i == 0 ? "/map" : "/add", "Shared",
                                    "P" + std::to_string(p) + "\\S" + std::to_string(i)));
    auto results = RestoreTogether(lines);
    for (const auto& program : results) {
        EXPECT_EQ(program.size(), 150u);
        EXPECT_EQ(std::count(program.begin(), program.end(), "Restored"), 150);
    }
    auto links = LinksInFile();
    ASSERT_EQ(links.size(), 1u);
    const std::vector<std::u16string>& targets = links[u"/Restored/Shared"];
    EXPECT_EQ(targets.size(), 300u);
    EXPECT_EQ(std::set<std::u16string>(targets.begin(), targets.end()).size(), 300u);
}

} // namespace
} // namespace kestrune
