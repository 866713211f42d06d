// How a failed directory store call reaches the DFS component: as the code the DFS network
// interface reports for the same LDAP failure on Windows, so its text appears.
#pragma once

#include "netdfs/netdfs.h"
#include "platform/store/directory_store.h"

#include <cstdint>

namespace kestrune {

// The Win32 status NetDfs returns for the failure.
uint32_t NetApiStatusOf(const store::Status& status);

// That status, with the directory's own words kept as the call's detail: a result the mapping
// does not know (it becomes "the parameter is incorrect") still tells the user why.
DfsStatus NetDfsFailureOf(const store::Status& status);

} // namespace kestrune
