// A backup file pair written as "dfsutil root export" writes a namespace.
#include "backup/backup_record.h"
#include "backup/dfsutil_export.h"
#include "backup/restore_properties.h"
#include "base/case_fold.h"
#include "netdfs/netdfs.h"

#include <map>

namespace kestrune {
namespace {

std::string Utf8(const AnsiString& ansi) {
    return AnsiToUtf8(ansi);
}

std::string Escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

struct ExportEntry {
    AnsiString path;
    AnsiString comment; // the first line's
    std::vector<TargetParts> targets;
};

const TargetProperties* RecordedTarget(const EntryProperties* entry, const TargetParts& target) {
    if (!entry) return nullptr;
    const std::u16string wanted = CaseKey("\\\\" + target.server + "\\" + target.share);
    for (const TargetProperties& recorded : entry->targets)
        if (FoldCase(Utf8ToWide(recorded.targetPath)) == wanted) return &recorded;
    return nullptr;
}

// State, Timeout and Attributes of the root or a link, as the tool writes them; a comment, in
// full where the properties record it, so that the export loses none.
std::string EntryAttributes(const ExportEntry& line, const EntryProperties* entry,
                            uint32_t defaultTtl) {
    const std::string comment =
        entry && entry->description ? *entry->description : Utf8(line.comment);
    const bool online = !entry || entry->online;
    const uint32_t ttl = entry ? entry->timeToLiveSec : defaultTtl;
    return " State=\"" + std::to_string(online ? DFS_VOLUME_STATE_OK : DFS_VOLUME_STATE_OFFLINE) +
           "\" Timeout=\"" + std::to_string(ttl) + "\" Attributes=\"" +
           std::to_string(entry ? entry->flags : 0) + "\"" +
           (comment.empty() ? "" : " Comment=\"" + Escaped(comment) + "\"");
}

std::string TargetElement(const TargetParts& target, const TargetProperties* recorded,
                          const std::string& indent) {
    const bool online = !recorded || recorded->online;
    std::string element =
        indent + "<Target Server=\"" + Escaped(Utf8(target.server)) + "\" Folder=\"" +
        Escaped(Utf8(target.share)) + "\" State=\"" +
        std::to_string(online ? DFS_STORAGE_STATE_ONLINE : DFS_STORAGE_STATE_OFFLINE) + "\"";
    // A priority other than the default, in the newer tool's attributes, rather than lost.
    if (recorded && (recorded->priorityClass != 0 || recorded->priorityRank != 0))
        element += " PriorityClass=\"" +
                   std::string(ReferralPriorityClassName(recorded->priorityClass)) +
                   "\" PriorityRank=\"" + std::to_string(recorded->priorityRank) + "\"";
    return element + " />\r\n";
}

} // namespace

Expected<std::string> FormatDfsutilExport(const std::vector<AnsiString>& lines,
                                          const NamespaceProperties* properties) {
    std::optional<RecordedProperties> recorded;
    if (properties) recorded.emplace(*properties);
    // The entries in file order, a root's targets apart.
    std::optional<ExportEntry> root;
    std::vector<ExportEntry> links;
    std::map<std::u16string, size_t> linkIndex;
    std::u16string namespaceKey;
    // Taken in the order a restore takes them: an entry's first target ("/map") leads, as it
    // does in the namespace, then the further ones in file order.
    const std::vector<BackupRecord> records = ParseBackupRecords(lines);
    for (int index : RestoreOrder(records)) {
        const BackupRecord& record = records[index];
        const int lineNumber = index + 1;
        const Expected<BackupLineParts> parts = record.Parts();
        if (!parts) {
            if (IsBlankLine(record.Text())) continue;
            return Error{13, "line " + std::to_string(lineNumber) +
                                 " is no backup line: " + Utf8(record.Text())};
        }
        const AnsiString& path = parts->entryPath;
        const bool isRoot = IsNamespaceRootPath(path);
        // \\domain\namespace: the first three backslash-separated parts.
        size_t end = path.find('\\', 2);
        end = end == AnsiString::npos ? end : path.find('\\', end + 1);
        const std::u16string key = CaseKey(path.substr(0, end));
        if (namespaceKey.empty()) namespaceKey = key;
        if (key != namespaceKey)
            return Error{13, "the lines name two namespaces; an export holds one"};
        if (isRoot) {
            if (!root) root = ExportEntry{path, parts->comment, {}};
            root->targets.push_back(parts->target);
            continue;
        }
        auto [at, added] = linkIndex.try_emplace(CaseKey(path), links.size());
        if (added) links.push_back({path, parts->comment, {}});
        links[at->second].targets.push_back(parts->target);
    }
    if (!root)
        return Error{13, "the file holds no line of the namespace's root, which an export needs"};

    const EntryProperties* rootRecorded = recorded ? recorded->Entry(root->path) : nullptr;
    std::string xml = "<?xml version=\"1.0\"?>\r\n<Root Name=\"" + Escaped(Utf8(root->path)) +
                      "\"" + EntryAttributes(*root, rootRecorded, 300) + " >\r\n";
    for (const TargetParts& target : root->targets)
        xml += TargetElement(target, RecordedTarget(rootRecorded, target), "\t");
    const size_t rootLength = root->path.size() + 1;
    for (const ExportEntry& link : links) {
        const EntryProperties* linkRecorded = recorded ? recorded->Entry(link.path) : nullptr;
        xml += "\t<Link Name=\"" + Escaped(Utf8(link.path.substr(rootLength))) + "\"" +
               EntryAttributes(link, linkRecorded, 1800) + " >\r\n";
        for (const TargetParts& target : link.targets)
            xml += TargetElement(target, RecordedTarget(linkRecorded, target), "\t\t");
        xml += "\t</Link>\r\n";
    }
    xml += "</Root>\r\n";
    return xml;
}

} // namespace kestrune
