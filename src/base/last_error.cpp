#include "base/last_error.h"

namespace kestrune {
namespace {
thread_local uint32_t lastError = 0;
}

uint32_t GetLastError() {
    return lastError;
}
void SetLastError(uint32_t code) {
    lastError = code;
}

} // namespace kestrune
