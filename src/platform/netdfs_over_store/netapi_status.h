// How a failed directory store call reaches the DFS component: as the code the DFS network
// interface reports for the same LDAP failure on Windows, so its text appears.
#pragma once

#include "platform/store/directory_store.h"

#include <cstdint>

namespace kestrune {

// The Win32 status NetDfs returns for the failure.
uint32_t NetApiStatusOf(const store::Status& status);

} // namespace kestrune
