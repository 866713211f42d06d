#include "platform/netdfs_over_store/netdfs_store_names.h"

#include "base/ansi_string.h"
#include "base/win_errors.h"
#include "platform/netdfs_over_store/dfs_properties_attribute.h"
#include "platform/netdfs_over_store/dfs_target_list.h"
#include "platform/store/dn.h"

#include <cstdlib>
#include <ctime>

namespace kestrune::dfs_store {

using store::Entry;

std::vector<std::u16string> SplitBackslashes(std::u16string_view path) {
    std::vector<std::u16string> parts;
    size_t start = 0;
    for (;;) {
        size_t slash = path.find(u'\\', start);
        parts.emplace_back(
            path.substr(start, slash == std::u16string_view::npos ? path.npos : slash - start));
        if (slash == std::u16string_view::npos) return parts;
        start = slash + 1;
    }
}

// \\domain[\namespace[\link...]]: the parts after the two backslashes, or nothing.
std::optional<std::vector<std::u16string>> ParseDfsName(const char16_t* name) {
    if (!name) return std::nullopt;
    std::u16string_view text(name);
    if (text.size() < 3 || text[0] != u'\\' || text[1] != u'\\') return std::nullopt;
    return SplitBackslashes(text.substr(2));
}

// The name NetDfsEnum takes: the same, its leading backslashes optional (a domain name alone
// at level 200).
std::optional<std::vector<std::u16string>> ParseEnumName(const char16_t* name) {
    if (!name) return std::nullopt;
    std::u16string_view text(name);
    if (text.substr(0, 2) == u"\\\\") text.remove_prefix(2);
    if (text.empty() || text.front() == u'\\') return std::nullopt;
    return SplitBackslashes(text);
}

std::string Fold(std::u16string_view text) {
    return store::FoldCase(WideToUtf8(text));
}

// True when one of the link paths (folded) is the other or lies below it.
bool Overlaps(const std::string& a, const std::string& b) {
    const std::string& shorter = a.size() <= b.size() ? a : b;
    const std::string& longer = a.size() <= b.size() ? b : a;
    return longer.compare(0, shorter.size(), shorter) == 0 &&
           (longer.size() == shorter.size() || longer[shorter.size()] == '/');
}

std::string GeneralizedTimeNow() {
    std::time_t now = std::time(nullptr);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &now);
#else
    gmtime_r(&now, &utc);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S.0Z", &utc);
    return text;
}

// "\\server\share\path" -> server, "share\path".
void SplitTarget(const std::u16string& target, DfsStorageRecord& out) {
    std::u16string_view t(target);
    while (!t.empty() && t.front() == u'\\')
        t.remove_prefix(1);
    size_t slash = t.find(u'\\');
    out.server = std::u16string(t.substr(0, slash));
    out.share =
        slash == std::u16string_view::npos ? std::u16string() : std::u16string(t.substr(slash + 1));
}

// The targets of a namespace or link object. One whose list is missing or cannot be read is
// never taken for one without targets: a backup would leave the link out, a restore would
// replace the list.
Expected<std::vector<StoredTarget>> TargetsOf(const Entry& entry) {
    const auto* values = entry.Find("msDFS-TargetListv2");
    if (!values || values->empty()) return Error{ERROR_INVALID_DATA, "it has no target list"};
    Expected<std::vector<StoredTarget>> targets = DecodeTargetEntries(values->front());
    if (!targets)
        return Error{ERROR_INVALID_DATA, "its target list cannot be read: " + targets.error().text};
    return targets;
}

// Fails the call with ERROR_INVALID_DATA, naming the object.
DfsStatus Unreadable(std::u16string_view dfsPath, const std::string& why) {
    return {ERROR_INVALID_DATA, WideToUtf8(dfsPath) + ": " + why};
}

// The first value of the attribute where the entry holds it (no copy), or empty.
std::string_view FirstValue(const Entry& entry, std::string_view type) {
    const auto* values = entry.Find(type);
    return values && !values->empty() ? std::string_view(values->front()) : std::string_view();
}

// A link object as a level 3 or 9 record below the namespace's root path; the root itself
// when isRoot. A link whose targets cannot be read fails the walk, naming the link.
DfsStatus EntryRecord(const std::u16string& rootPath, const Entry& link, bool isRoot,
                      uint32_t level, DfsEntryRecord& r) {
    r = DfsEntryRecord();
    r.entryPath = rootPath;
    if (!isRoot) {
        std::u16string path = Utf8ToWide(FirstValue(link, "msDFS-LinkPathv2"));
        for (char16_t& c : path)
            if (c == u'/') c = u'\\';
        if (path.empty() || path.front() != u'\\') path.insert(path.begin(), u'\\');
        r.entryPath += path;
    }
    if (const auto* c = link.Find("msDFS-Commentv2"); c && !c->empty())
        r.comment = Utf8ToWide(c->front());
    Expected<std::vector<StoredTarget>> targets = TargetsOf(link);
    if (!targets) return Unreadable(r.entryPath, targets.error().text);
    for (const StoredTarget& t : *targets) {
        DfsStorageRecord storage;
        SplitTarget(t.path, storage);
        storage.state = t.online ? DFS_STORAGE_STATE_ONLINE : DFS_STORAGE_STATE_OFFLINE;
        storage.priority.TargetPriorityClass =
            static_cast<DFS_TARGET_PRIORITY_CLASS>(t.priorityClass);
        storage.priority.TargetPriorityRank = t.priorityRank;
        r.storages.push_back(std::move(storage));
    }
    if (level == 9) {
        EntryFlags flags = DecodeEntryFlags(link.Find("msDFS-Propertiesv2"));
        r.state = (flags.offline && !isRoot ? DFS_VOLUME_STATE_OFFLINE : DFS_VOLUME_STATE_OK) |
                  DFS_VOLUME_FLAVOR_AD_BLOB;
        r.propertyFlags = flags.propertyFlags;
        std::string_view ttl = FirstValue(link, "msDFS-Ttlv2");
        r.timeout = static_cast<uint32_t>(std::strtoul(std::string(ttl).c_str(), nullptr, 10));
        if (const auto* sd = link.Find("msDFS-LinkSecurityDescriptorv2"); sd && !sd->empty())
            r.securityDescriptor.assign(sd->front().begin(), sd->front().end());
    }
    return NERR_Success;
}

} // namespace kestrune::dfs_store
