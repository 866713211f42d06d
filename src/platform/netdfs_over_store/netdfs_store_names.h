// Names and values shared by the DFS calls answered from a directory store.
#pragma once

#include "base/expected.h"
#include "netdfs/netdfs_buffer.h"
#include "platform/netdfs_over_store/dfs_target_list.h"
#include "platform/store/directory_store.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune::dfs_store {

std::vector<std::u16string> SplitBackslashes(std::u16string_view path);
// \\domain[\namespace[\link...]]: the parts after the two backslashes, or nothing.
std::optional<std::vector<std::u16string>> ParseDfsName(const char16_t* name);
// The name NetDfsEnum takes: the same, its leading backslashes optional (a domain name alone
// at level 200).
std::optional<std::vector<std::u16string>> ParseEnumName(const char16_t* name);
std::string Fold(std::u16string_view text);
// True when one of the link paths (folded) is the other or lies below it.
bool Overlaps(const std::string& a, const std::string& b);
std::string GeneralizedTimeNow();
// "\\server\share\path" -> server, "share\path".
void SplitTarget(const std::u16string& target, DfsStorageRecord& out);

// The targets of a namespace or link object. One whose list is missing or cannot be read is
// never taken for one without targets.
Expected<std::vector<StoredTarget>> TargetsOf(const store::Entry& entry);
// Fails the call with ERROR_INVALID_DATA, naming the object.
DfsStatus Unreadable(std::u16string_view dfsPath, const std::string& why);
// The first value of the attribute where the entry holds it (no copy), or empty.
std::string_view FirstValue(const store::Entry& entry, std::string_view type);
// A link object as a level 3 or 9 record below the namespace's root path; the root itself
// when isRoot. A link whose targets cannot be read fails, naming the link.
DfsStatus EntryRecord(const std::u16string& rootPath, const store::Entry& link, bool isRoot,
                      uint32_t level, DfsEntryRecord& r);

} // namespace kestrune::dfs_store
