#include "cli/backup_command.h"

#include "backup/backup_file.h"
#include "backup/backup_history.h"
#include "backup/backup_line.h"
#include "backup/backup_run.h"
#include "backup/run_report.h"
#include "base/file_io.h"
#include "base/paths.h"
#include "cli/namespace_list.h"
#include "directory/domain_sids.h"
#include "directory/tntads.h"

#include <chrono>
#include <cstdio>
#include <ostream>

namespace kestrune {

int BackUpDomain(const std::string& domain, const std::filesystem::path& folder,
                 const BackupCommand& command, Console console) {
    TOXLDFS dfs;
    NamespaceList list = ListNamespaces(dfs, domain);
    if (!list.error.empty()) {
        console.err << "kestrune: the namespaces of " << AnsiToUtf8(domain)
                    << " could not be listed: " << list.error << "\n";
        return kExitFailure;
    }
    if (list.names.empty()) {
        if (!command.quiet)
            console.err << "kestrune: " << AnsiToUtf8(domain)
                        << " has no DFS namespaces; nothing to back up\n";
        return kExitSuccess;
    }

    (void)ForceDirectories(folder); // a failure shows at the first file
    bool cancel = false;
    TStringList lines;
    BackupRun run(dfs, lines, cancel);
    ConnectBackupRun connect(dfs, run);
    // A scheduled job's mail says at a glance what changed since the last run.
    run.compareWithPrevious = true;
    run.history.folder = HistoryFolder(folder);
    run.history.keep = command.keep;
    run.waiting = [&] {
        const std::u8string where = folder.u8string();
        console.err << "kestrune: another backup is writing into "
                    << std::string_view(reinterpret_cast<const char*>(where.data()), where.size())
                    << "; waiting for it to end (at most "
                    << std::chrono::duration_cast<std::chrono::seconds>(run.folderLockWait).count()
                    << " s)\n";
    };
    // Without them a namespace's default entries are told by their shape alone.
    if (Expected<DomainSids> sids = ReadDomainSids(domain)) run.domainSids = std::move(*sids);
    auto started = std::chrono::steady_clock::now();
    if (!command.quiet)
        run.progress = [&](const NamespaceBackup& done) {
            auto now = std::chrono::steady_clock::now();
            double seconds = std::chrono::duration<double>(now - started).count();
            started = now;
            char time[32];
            std::snprintf(time, sizeof time, "%.2f s", seconds);
            console.err << "kestrune: " << WideToUtf8(done.name) << ": ";
            if (done.outcome == NamespaceBackup::Outcome::Written)
                console.err << done.lines << (done.lines == 1 ? " line" : " lines") << ", " << time
                            << " " << DescribeChange(done.change) << "\n";
            else
                console.err << "not backed up\n";
        };
    BackupRunResult result = run.Run(domain, list.names, folder, PathFromUtf8(command.prefix));
    RunReport report = DescribeBackupRun(result);
    if (!report.errors.empty()) console.err << "kestrune: " << report.errors << "\n";
    if (!report.warnings.empty()) console.err << "kestrune: " << report.warnings << "\n";
    return report.exitStatus;
}

bool CheckBackupArguments(const BackupCommand& command, Console console) {
    // An empty folder would back up nothing and leave a scheduled job waiting.
    if (command.folder.empty()) {
        console.err << "kestrune: no output folder given\n" << UsageText();
        return false;
    }
    if (std::string problem = PrefixProblem(command.prefix); !problem.empty()) {
        console.err << "kestrune: " << problem << "\n";
        return false;
    }
    return true;
}

int RunBackupCommand(const BackupCommand& command, Console console) {
    if (!CheckBackupArguments(command, console)) return kExitUsage;
    TNTADS ntads;
    ntads.DetectDirectory();
    std::string domain;
    if (!command.domain.empty()) {
        domain = ntads.ToDotname(Utf8ToAnsi(command.domain));
    } else {
        if (ntads.LastError() == 999) {
            console.err << "kestrune: Active Directory is not available\n";
            // A directory that answers but cannot tell this computer's domain (a directory
            // export, say) is still backed up when the domain is named.
            if (!ntads.LastMessage().empty())
                console.err << "kestrune: " << WideToUtf8(ntads.LastMessage())
                            << "; name the domain on the command line\n";
            return kExitFailure;
        }
        domain = ntads.ToDotname(WideToAnsi(ntads.Domain()));
    }

    return BackUpDomain(domain, PathFromUtf8(command.folder), command, console);
}

} // namespace kestrune
