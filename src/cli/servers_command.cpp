#include "cli/servers_command.h"

#include "backup/dfsutil_export.h"
#include "backup/run_report.h"
#include "backup/server_report.h"
#include "base/ascii.h"
#include "base/paths.h"
#include "cli/backup_input.h"
#include "cli/target_check.h"

#include <algorithm>
#include <fstream>
#include <ostream>

namespace kestrune {
namespace {

namespace fs = std::filesystem;

std::string Utf8FromPath(const fs::path& path) {
    const std::u8string name = path.u8string();
    return std::string(name.begin(), name.end());
}

bool EndsWith(const std::string& text, std::string_view end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The files of a folder that may hold backups: backup files (.txt, restore logs left out) and
// exports (.xml, properties files left out); which they are is told by their content.
bool MayHoldBackup(const fs::path& file) {
    std::string name = file.filename().string();
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (EndsWith(name, ".txt")) return !EndsWith(name, "_restore.txt");
    return EndsWith(name, ".xml") && !EndsWith(name, ".properties.xml");
}

// An XML file in a folder that is no export (a tool's settings, say): not backup input.
bool OtherXml(const fs::path& file) {
    std::string name = file.filename().string();
    if (name.size() < 4 || !SameTextAscii(name.substr(name.size() - 4), ".xml")) return false;
    std::ifstream in(file, std::ios::binary);
    if (!in) return false; // read again, and named, as any input that cannot be read
    std::string head(4096, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
    return !IsDfsutilExport(head);
}

// The files a folder holds, in every folder below it; history copies only when asked for.
std::vector<fs::path> FilesOf(const fs::path& folder, bool history, std::string& problem) {
    std::vector<fs::path> files;
    std::error_code error;
    fs::recursive_directory_iterator it(folder, error), end;
    for (; !error && it != end; it.increment(error)) {
        if (it->is_directory(error)) {
            if (!history && it->path().filename() == "history") it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file(error) && MayHoldBackup(it->path()) && !OtherXml(it->path()))
            files.push_back(it->path());
    }
    if (error) problem = Utf8FromPath(folder) + ": " + error.message();
    std::sort(files.begin(), files.end());
    return files;
}

// Each share asked once; a server is as reachable as the best answer among its shares.
ShareCheckText CheckServerShares(const TargetCheck& checker, const std::vector<ServerUse>& report,
                                 bool quiet, Console console) {
    std::vector<ShareTarget> targets;
    for (const ServerUse& server : report)
        for (const ServerShare& share : server.shares)
            targets.push_back({server.server, share.share});
    const std::vector<ShareAnswer> answers = checker.CheckTargets(targets, quiet, console);
    ShareCheckText text;
    size_t next = 0;
    for (const ServerUse& server : report) {
        const ShareAnswer* best = nullptr;
        text.perShare.emplace_back();
        for (size_t h = 0; h < server.shares.size(); ++h, ++next) {
            const ShareAnswer& answer = answers[next];
            text.perShare.back().push_back(TargetOutcome(answer));
            if (!best || answer.state < best->state) best = &answer;
        }
        text.perServer.push_back(best ? TargetOutcome(*best) : "not asked");
    }
    return text;
}

} // namespace

int RunServersCommand(const ServersCommand& command, Console console) {
    std::vector<BackupRecord> records;
    bool unreadable = false;
    for (const std::string& input : command.inputs) {
        const fs::path path = PathFromUtf8(input);
        std::vector<fs::path> files;
        std::error_code error;
        if (fs::is_directory(path, error)) {
            std::string problem;
            files = FilesOf(path, command.history, problem);
            if (!problem.empty()) {
                console.err << "kestrune: " << problem << "\n";
                unreadable = true;
            }
        } else {
            files.push_back(path);
        }
        for (const fs::path& file : files) {
            std::optional<std::vector<BackupRecord>> read =
                ReadBackupInput(Utf8FromPath(file), console);
            if (!read) {
                unreadable = true;
                continue;
            }
            records.insert(records.end(), std::make_move_iterator(read->begin()),
                           std::make_move_iterator(read->end()));
        }
    }
    const std::vector<ServerUse> report = BuildServerReport(records);

    std::optional<ShareCheckText> check;
    if (command.checkTargets) {
        std::optional<TargetCheck> checker = TargetCheck::Prepare(console);
        if (!checker) return kExitUsage;
        check = CheckServerShares(*checker, report, command.quiet, console);
    }
    console.out << (command.csv ? FormatServerReportCsv(report, check ? &*check : nullptr)
                                : FormatServerReport(report, check ? &*check : nullptr));
    return unreadable ? kExitUsage : kExitSuccess;
}

} // namespace kestrune
