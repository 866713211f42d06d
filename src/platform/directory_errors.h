// How a failed directory store call reaches the components: as the codes ADSI and the DFS
// network interface report for the same LDAP failure on Windows, so their texts appear.
#pragma once

#include "adsi/adsi.h"
#include "platform/store/directory_store.h"

#include <cstdint>

namespace kestrune {

// The HRESULT ADSI returns for the failure (HRESULT_FROM_WIN32 of the directory error).
adsi::HRESULT AdsiResultOf(const store::Status& status);

// The Win32 status NetDfs returns for the failure.
uint32_t NetApiStatusOf(const store::Status& status);

// That status, with the directory's own words kept as the call's detail: a result the mapping
// does not know (it becomes "the parameter is incorrect") still tells the user why.
uint32_t NetDfsFailureOf(const store::Status& status);

} // namespace kestrune
