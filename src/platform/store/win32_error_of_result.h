// The Win32 error a directory result becomes, as Windows' LDAP client maps them: the code both
// platform backends over a store start from when they report a failure as Windows does.
#pragma once

#include "platform/store/directory_store.h"

#include <cstdint>

namespace kestrune::store {

uint32_t Win32ErrorOf(ResultCode code);

} // namespace kestrune::store
