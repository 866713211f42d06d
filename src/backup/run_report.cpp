#include "backup/run_report.h"

namespace kestrune {
namespace {

std::string FromAnsi(const AnsiString& text) {
    return AnsiToUtf8(text);
}

} // namespace

std::string DescribeChange(const BackupChange& change) {
    switch (change.kind) {
    case BackupChange::Kind::NotCompared:
        return {};
    case BackupChange::Kind::New:
        return "(new)";
    case BackupChange::Kind::Unchanged:
        return "(unchanged)";
    case BackupChange::Kind::PropertiesChanged:
        return "(properties changed)";
    case BackupChange::Kind::Changed:
        return "(" + std::to_string(change.lines.added) + " added, " +
               std::to_string(change.lines.removed) + " removed, " +
               std::to_string(change.lines.changed) + " changed)";
    case BackupChange::Kind::Unreadable:
        return "(not compared: " + FromAnsi(change.problem) + ")";
    }
    return {};
}

int GraverExitStatus(int a, int b) {
    auto rank = [](int s) {
        return s == kExitFailure ? 3 : s == kExitUsage ? 4 : s == kExitCharactersLost ? 2 : 0;
    };
    return rank(a) >= rank(b) ? a : b;
}

RunReport DescribeBackupRun(const BackupRunResult& result) {
    RunReport report;
    std::string unread, lossy;
    for (const NamespaceBackup& n : result.namespaces) {
        const std::string name = WideToUtf8(n.name);
        switch (n.outcome) {
        case NamespaceBackup::Outcome::WriteFailed:
            report.errors += n.error + "\n";
            break;
        case NamespaceBackup::Outcome::ReadFailed:
            unread += "  " + name + ": " + n.error + "\n";
            break;
        case NamespaceBackup::Outcome::Written:
            if (!n.historyProblem.empty()) report.errors += n.historyProblem + "\n";
            if (n.lossyLines == 0) break;
            lossy += "  " + n.file.filename().string() + ": " + std::to_string(n.lossyLines) +
                     (n.lossyLines == 1 ? " line" : " lines") + ", for example\n";
            for (const AnsiString& line : n.lossySamples)
                lossy += "    " + FromAnsi(line) + "\n";
            break;
        }
    }
    if (!unread.empty())
        report.errors += "These namespaces could not be read; their previous backup files were "
                         "left unchanged:\n" +
                         unread;
    if (!lossy.empty())
        report.warnings = "Some lines lost characters that code page " +
                          std::to_string(ActiveCodePage()) +
                          " cannot hold, or a line break inside a comment, and cannot be "
                          "restored as they were:\n" +
                          lossy +
                          "Set KESTRUNE_CODEPAGE=65001 to write backup files in UTF-8 and keep "
                          "every character.\n";
    while (!report.errors.empty() && report.errors.back() == '\n')
        report.errors.pop_back();
    while (!report.warnings.empty() && report.warnings.back() == '\n')
        report.warnings.pop_back();
    if (!report.errors.empty())
        report.exitStatus = kExitFailure;
    else if (!report.warnings.empty())
        report.exitStatus = kExitCharactersLost;
    return report;
}

} // namespace kestrune
