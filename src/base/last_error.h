// The calling thread's last error code, as the platform layers leave it.
#pragma once

#include <cstdint>

namespace kestrune {

uint32_t GetLastError();
void SetLastError(uint32_t code);

} // namespace kestrune
