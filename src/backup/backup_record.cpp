#include "backup/backup_record.h"

#include "base/case_fold.h"
#include "base/file_io.h"
#include "base/hashed_key_index.h"

namespace kestrune {

BackupRecord::BackupRecord(AnsiString line) : text_(std::move(line)) {
    Expected<BackupLineParts> parts = ParseBackupLine(text_);
    if (!parts) {
        std::vector<AnsiString> fields = SplitCommaText(text_);
        furtherTarget_ = fields.size() >= 2 && fields[1] == "/add";
        return;
    }
    furtherTarget_ = parts->furtherTarget;
    shape_ = Shape::Other;
    const AnsiString target = TargetText(parts->target);
    if (text_.size() > UINT16_MAX ||
        text_ != FormatBackupLine(parts->entryPath, target, parts->comment, furtherTarget_ ? 1 : 0))
        return;
    // dfscmd /map "<path>" "\\<target>" "<comment>"
    constexpr uint16_t kVerbAndQuote = 13, kBetween = 3;
    pathAt_ = kVerbAndQuote;
    pathSize_ = static_cast<uint16_t>(parts->entryPath.size());
    targetAt_ = pathAt_ + pathSize_ + kBetween;
    targetSize_ = static_cast<uint16_t>(target.size() + 2); // with its two backslashes
    commentAt_ = targetAt_ + targetSize_ + kBetween;
    commentSize_ = static_cast<uint16_t>(parts->comment.size());
    shape_ = Shape::AsWritten;
}

Expected<BackupLineParts> BackupRecord::Parts() const {
    if (shape_ != Shape::AsWritten) return ParseBackupLine(text_);
    return BackupLineParts{AnsiString(Field(pathAt_, pathSize_)),
                           SplitTargetField(AnsiString(Field(targetAt_, targetSize_))),
                           AnsiString(Field(commentAt_, commentSize_)), furtherTarget_};
}

AnsiString BackupRecord::EntryPath() const {
    switch (shape_) {
    case Shape::AsWritten:
        return AnsiString(Field(pathAt_, pathSize_));
    case Shape::Other:
        return Parts()->entryPath;
    case Shape::NotABackupLine:
        break;
    }
    return {};
}

std::vector<BackupRecord> ParseBackupRecords(const std::vector<AnsiString>& lines) {
    std::vector<BackupRecord> records;
    records.reserve(lines.size());
    for (const AnsiString& line : lines)
        records.emplace_back(line);
    return records;
}

std::vector<BackupRecord> ParseBackupRecords(std::vector<AnsiString>&& lines) {
    std::vector<BackupRecord> records;
    records.reserve(lines.size());
    for (AnsiString& line : lines)
        records.emplace_back(std::move(line));
    lines.clear();
    return records;
}

std::vector<int> RestoreOrder(std::span<const BackupRecord> records) {
    auto isRoot = [](const BackupRecord& r) { return IsNamespaceRootPath(r.EntryPath()); };
    std::vector<int> order;
    order.reserve(records.size());
    // The namespace's own targets first: a namespace that is gone comes back before its links.
    for (bool further : {false, true})
        for (size_t i = 0; i < records.size(); ++i)
            if (records[i].FurtherTarget() == further && isRoot(records[i]))
                order.push_back(static_cast<int>(i));
    // Then link by link, in the order of their first targets, each link's lines together: a
    // restore may then create a link with all its targets at once. A link's lines are chained
    // by position and its first line is found by the hash of its path: a map of every path,
    // made and dropped here, left its room in the heap for the whole run (10 MB at 50,000
    // links).
    constexpr int kNone = -1;
    std::vector<int> firsts; // each link's first line, in the order of the links
    std::vector<int> next(records.size(), kNone), last(records.size(), kNone);
    HashedKeyIndex firstOf;
    firstOf.Reserve(records.size());
    for (bool further : {false, true})
        for (size_t i = 0; i < records.size(); ++i) {
            const BackupRecord& r = records[i];
            if (r.FurtherTarget() != further || isRoot(r)) continue;
            const int line = static_cast<int>(i);
            size_t first = HashedKeyIndex::npos;
            if (r.IsBackupLine()) {
                const std::u16string key = CaseKey(r.EntryPath());
                first = firstOf.Find(
                    key, [&](size_t at) { return CaseKey(records[at].EntryPath()) == key; });
                if (first == HashedKeyIndex::npos) firstOf.Add(key, i);
            }
            if (first == HashedKeyIndex::npos) {
                firsts.push_back(line);
                last[i] = line;
                continue;
            }
            next[static_cast<size_t>(last[first])] = line;
            last[first] = line;
        }
    for (const int first : firsts)
        for (int line = first; line != kNone; line = next[static_cast<size_t>(line)])
            order.push_back(line);
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
