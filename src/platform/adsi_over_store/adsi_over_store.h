// ADSI answered from a directory store, the way Active Directory's LDAP provider answers:
// paths LDAP://[server/]DN, GC://[server/]DN (the whole forest) and ADs:, objects with IADs
// and IDirectorySearch, and the ADSystemInfo object from the rootDSE.
#pragma once

#include "adsi/adsi.h"
#include "platform/store/directory_store.h"

namespace kestrune {

std::shared_ptr<adsi::AdsiPlatform> MakeStoreAdsi(std::shared_ptr<store::DirectoryStore> directory);

} // namespace kestrune
