// Windows 2000 mode namespaces among the DFS calls answered from a directory store: one fTDfs
// object per namespace, read through its pKT value and never written.
#pragma once

#include "netdfs/netdfs_buffer.h"
#include "platform/store/directory_store.h"

#include <string>
#include <string_view>
#include <vector>

namespace kestrune::dfs_store {

// CN=<name>,CN=Dfs-Configuration,CN=System,<domain>: the same name a Windows Server 2008 mode
// namespace's anchor takes, so that a domain holds a name in one mode only.
std::string LegacyNamespaceDn(const std::string& domainDn, const std::string& name);
// What the fTDfs object must be read with.
std::vector<std::string> LegacyAttributes();

// The root (first) and every link of the namespace as level 3 or 9 records below rootPath, in
// stored order. A pKT that is missing or cannot be read fails with ERROR_INVALID_DATA, naming
// the namespace and what is wrong.
DfsStatus LegacyRecords(const std::u16string& rootPath, const store::Entry& ftDfs, uint32_t level,
                        std::vector<DfsEntryRecord>& out);

// NetDfsAdd on an entry of a Windows 2000 mode namespace: ERROR_FILE_EXISTS where the target
// (or, with DFS_ADD_VOLUME, the link) is there already, as the call answers in either mode;
// otherwise the refusal below, since adding it would mean rewriting the pKT.
DfsStatus AnswerLegacyAdd(const std::u16string& rootPath, const store::Entry& ftDfs,
                          const std::u16string& entryPath, const std::u16string& target,
                          uint32_t flags);

// Refuses a change to a Windows 2000 mode namespace: ERROR_NOT_SUPPORTED, saying where its
// backup can go instead.
DfsStatus RefuseLegacyChange(std::u16string_view rootPath);

} // namespace kestrune::dfs_store
