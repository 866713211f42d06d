// Restores every line of a backup file through the platform that KESTRUNE_PLATFORM names, the
// way the restore window does, printing the log lines. Exit status 0 when the platform could be
// used, whatever each line's outcome.
#include "backup/restore_run.h"
#include "base/string_list.h"
#include "platform/platform.h"

#include <cstdio>

namespace {

class PrintedLog : public kestrune::RestoreLog {
  public:
    void ClearLines() override {}
    void ShowLog() override {}
    void AddLine(const kestrune::AnsiString& Msg, uint32_t) override {
        std::printf("%s\n", Msg.c_str());
    }
    void SetPlainText(bool) override {}
    void SaveLinesToFile(const std::filesystem::path&) override {}
};

} // namespace

int main(int argc, char* argv[]) {
    using namespace kestrune;
    if (argc != 2) {
        std::fprintf(stderr, "usage: restore_file BACKUP_FILE\n");
        return 2;
    }
    std::string error;
    if (!InstallPlatformFromEnvironment(error)) {
        std::fprintf(stderr, "restore_file: %s\n", error.c_str());
        return 1;
    }
    TStringList lines;
    lines.LoadFromFile(argv[1]);
    TOXLDFS dfs;
    PrintedLog log;
    // As the restore window does: each link created with its first target ("/map"), then
    // its further targets added ("/add").
    dfs.SetFlags(0);
    for (bool furtherTargets : {false, true})
        for (int i = 0; i < lines.Count(); ++i)
            if (IsAddLine(lines[i]) == furtherTargets)
                RestoreBackupLine(lines[i], false, dfs, log, nullptr);
    return 0;
}
