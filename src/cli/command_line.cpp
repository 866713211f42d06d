#include "cli/command_line.h"

#include "backup/run_report.h"
#include "cli/backup_command.h"
#include "cli/compare_command.h"
#include "cli/export_dfsutil_command.h"
#include "cli/forest_command.h"
#include "cli/options.h"
#include "cli/restore_command.h"
#include "cli/servers_command.h"
#include "directory/tntads.h"

#include <new>
#include <ostream>

namespace kestrune {

bool HasOptions(const std::vector<std::string>& arguments) {
    for (const std::string& a : arguments)
        if (a.rfind("--", 0) == 0) return true;
    return false;
}

std::string ConsoleText(const std::string& ansi) {
    return AnsiToUtf8(ansi);
}

std::string UsageText() {
    return "usage: kestrune PREFIX FOLDER [DOMAIN]      back up every namespace of DOMAIN (or of\n"
           "                                            this computer's domain) into FOLDER; a\n"
           "                                            line per namespace says what changed:\n"
           "                                            (unchanged), (new), (N added, N removed,\n"
           "                                            N changed), (properties changed)\n"
           "       kestrune --forest PREFIX FOLDER      the same for every domain of the forest,\n"
           "                                            each into FOLDER/<domain>/\n"
           "       kestrune --restore FILE [--dry-run]  add every target of a backup file (or of\n"
           "                                            a dfsutil root export) again\n"
           "                                            (a namespace that is gone is created from\n"
           "                                            its root's lines); --dry-run: say what\n"
           "                                            that would do, change nothing\n"
           "       kestrune --compare FILE              a backup file against its live namespace:\n"
           "                                            - only in the file, + added since,\n"
           "                                            ~ comment changed, ~ property changed\n"
           "                                            (live value, then the recorded one)\n"
           "       kestrune --verify FILE               list the file's targets that are not live\n"
           "       kestrune --diff OLD NEW              two backup files, as --compare shows "
           "them:\n"
           "                                            - only in OLD, + only in NEW, ~ comment\n"
           "                                            changed\n"
           "       kestrune --export-dfsutil FILE OUT   the backup file (with its properties\n"
           "                                            file) as an export for dfsutil root\n"
           "                                            import\n"
           "       kestrune --servers FILE|FOLDER...   which links depend on each file server\n"
           "                                            (folders read recursively, history/\n"
           "                                            only with --history; --format csv)\n"
           "       kestrune --help | --version\n"
           "options: --quiet   standard error only for failures\n"
           "         --keep N  (backup, --forest) before a file is replaced by a different\n"
           "                   one, move it to\n"
           "                   FOLDER/history/<prefix><namespace>.<YYYYMMDD-HHMMSS>.txt;\n"
           "                   keep the newest N there per namespace\n"
           "         --forest  (PREFIX FOLDER) every domain of the forest, each into\n"
           "                   FOLDER/<domain's DNS name>/; a domain that cannot be reached\n"
           "                   keeps its previous files and the others still run\n"
           "         --check-targets  (--restore FILE --dry-run, --verify FILE, --servers)\n"
           "                   ask each target's file server for its share over SMB:\n"
           "                   reachable, or\n"
           "                   unreachable (code: text); KESTRUNE_SMB_TIMEOUT seconds per\n"
           "                   server (5)\n"
           "         --properties  (--restore FILE [--dry-run]) also set the recorded\n"
           "                   properties of links and targets that are there and differ\n"
           "                   (state, referral time, flags, view permissions, priority)\n"
           "         --as \\\\DOMAIN\\NAMESPACE  (--restore, --compare, --verify) the lines go\n"
           "                   into that namespace instead of their own; a namespace that\n"
           "                   is gone is created from the file's root lines\n"
           "         --map-server OLD=NEW  (the same; repeatable) targets on the server OLD\n"
           "                   go to NEW (whole names, case ignored: fs1 and fs1.example.com\n"
           "                   are different names)\n"
           "         a lone -- ends the options\n"
           "exit status: 0 done: backed up, every line restored or already there, no\n"
           "               differences, every target live (and reachable)\n"
           "             1 something failed: a file, a namespace, no directory, a line not\n"
           "               restored (or one that would fail); differences; targets missing\n"
           "               or unreachable\n"
           "             2 usage, a file that cannot be read or is no backup file, or a\n"
           "               namespace that cannot be read (nothing changed)\n"
           "             3 backed up, but some lines lost characters; or restored, but\n"
           "               restored comments had lost some (named on standard error)\n";
}

namespace {

// --as and --map-server, in the code page the lines are in.
Expected<void> DestinationOf(const Options& options, RestoreDestination& destination) {
    auto ansi = [](const std::string& argument) { return Utf8ToAnsi(argument); };
    if (!options.as.empty()) {
        Expected<AnsiString> as = ParseNamespacePath(ansi(options.as));
        if (!as) return Error{0, "--as: " + AnsiToUtf8(as.error().text)};
        destination.asNamespace = std::move(*as);
    }
    std::vector<AnsiString> pairs;
    for (const std::string& pair : options.mapServer)
        pairs.push_back(ansi(pair));
    Expected<std::vector<ServerRename>> renames = ParseServerRenames(pairs);
    if (!renames) return Error{0, "--map-server: " + AnsiToUtf8(renames.error().text)};
    destination.servers = std::move(*renames);
    return {};
}

int RunCommand(const std::vector<std::string>& arguments, Console console) {
    Options options = ParseOptions(arguments);
    if (!options.error.empty()) {
        console.err << "kestrune: " << options.error << "\n" << UsageText();
        return kExitUsage;
    }
    if (options.help) {
        console.out << UsageText();
        return kExitSuccess;
    }
    if (options.version) {
        console.out << "kestrune " << KESTRUNE_VERSION << "\n";
        return kExitSuccess;
    }
    // Messages the directory component would show in a box, while the console is there.
    TNTADS::MessageHookScope messages([&console](const AnsiString& text) {
        console.err << "kestrune: " << AnsiToUtf8(text) << "\n";
    });
    RestoreDestination destination;
    if (Expected<void> given = DestinationOf(options, destination); !given) {
        console.err << "kestrune: " << ConsoleText(given.error().text) << "\n" << UsageText();
        return kExitUsage;
    }
    if (!options.restore.empty())
        return RunRestoreCommand({options.restore, options.dryRun, options.quiet,
                                  options.checkTargets, options.properties, destination},
                                 console);
    if (!options.compare.empty()) return RunCompareCommand(options.compare, console, destination);
    if (!options.verify.empty())
        return RunVerifyCommand(options.verify, options.checkTargets, options.quiet, console,
                                destination);
    if (!options.diffOld.empty()) return RunDiffCommand(options.diffOld, options.diffNew, console);
    if (!options.exportFrom.empty())
        return RunExportDfsutilCommand(options.exportFrom, options.exportTo, console);
    if (options.servers)
        return RunServersCommand({options.positional, options.history, options.format == "csv",
                                  options.checkTargets, options.quiet},
                                 console);
    const std::vector<std::string>& p = options.positional;
    if (options.forest)
        return RunForestCommand({p[0], p[1], std::string(), options.quiet, options.keep}, console);
    // One argument only sets the prefix in the window; without one it is a usage error.
    if (p.size() < 2) {
        console.err << UsageText();
        return kExitUsage;
    }
    BackupCommand backup{p[0], p[1], p.size() == 3 ? p[2] : std::string(), options.quiet,
                         options.keep};
    return RunBackupCommand(backup, console);
}

} // namespace

int RunCommandLine(const std::vector<std::string>& arguments, Console console) {
    // Whatever goes wrong ends in a message and a status, never in an abort.
    try {
        return RunCommand(arguments, console);
    } catch (const std::bad_alloc&) {
        console.err << "kestrune: not enough memory\n";
    } catch (const std::exception& e) {
        console.err << "kestrune: " << e.what() << "\n";
    }
    return kExitFailure;
}

} // namespace kestrune
