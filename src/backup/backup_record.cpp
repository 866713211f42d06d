#include "backup/backup_record.h"

#include "base/case_fold.h"
#include "base/file_io.h"

#include <map>

namespace kestrune {

BackupRecord ParseBackupRecord(AnsiString line) {
    Expected<BackupLineParts> parts = ParseBackupLine(line);
    bool further = false;
    if (parts) {
        further = parts->furtherTarget;
    } else {
        std::vector<AnsiString> fields = SplitCommaText(line);
        further = fields.size() >= 2 && fields[1] == "/add";
    }
    return {std::move(line), std::move(parts), further};
}

std::vector<BackupRecord> ParseBackupRecords(const std::vector<AnsiString>& lines) {
    std::vector<BackupRecord> records;
    records.reserve(lines.size());
    for (const AnsiString& line : lines)
        records.push_back(ParseBackupRecord(line));
    return records;
}

std::vector<int> RestoreOrder(std::span<const BackupRecord> records) {
    auto isRoot = [](const BackupRecord& r) {
        return r.parts && IsNamespaceRootPath(r.parts->entryPath);
    };
    std::vector<int> order;
    order.reserve(records.size());
    // The namespace's own targets first: a namespace that is gone comes back before its links.
    for (bool further : {false, true})
        for (size_t i = 0; i < records.size(); ++i)
            if (records[i].furtherTarget == further && isRoot(records[i]))
                order.push_back(static_cast<int>(i));
    // Then link by link, in the order of their first targets, each link's lines together: a
    // restore may then create a link with all its targets at once.
    std::vector<std::vector<int>> links;
    std::map<std::u16string, size_t> linkOf;
    for (bool further : {false, true})
        for (size_t i = 0; i < records.size(); ++i) {
            const BackupRecord& r = records[i];
            if (r.furtherTarget != further || isRoot(r)) continue;
            if (!r.parts) {
                links.push_back({static_cast<int>(i)});
                continue;
            }
            auto [at, added] = linkOf.try_emplace(CaseKey(r.parts->entryPath), links.size());
            if (added) links.emplace_back();
            links[at->second].push_back(static_cast<int>(i));
        }
    for (const std::vector<int>& lines : links)
        order.insert(order.end(), lines.begin(), lines.end());
    return order;
}

std::vector<AnsiString> SplitBackupText(std::string_view text) {
    std::vector<AnsiString> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

Expected<std::vector<AnsiString>> ReadBackupLines(const std::filesystem::path& file) {
    Expected<std::string> bytes = ReadRegularFile(file, kMaxBackupFileBytes);
    if (!bytes) return bytes.error();
    return BackupLinesOf(*bytes);
}

Expected<std::vector<AnsiString>> BackupLinesOf(std::string_view text) {
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF"))
        return Error{0, "The file is not 8-bit text: it begins with a UTF-16 byte-order mark."};
    if (text.starts_with("\xEF\xBB\xBF"))
        return Error{0, "The file is not 8-bit text: it begins with a UTF-8 byte-order mark."};
    return SplitBackupText(text);
}

} // namespace kestrune
