// The C library's calls on files, for the file functions' own use: each runs cleared of an
// earlier failure's code, so that LastSystemError reads the code of this call's failure.
#pragma once

#include <cerrno>
#include <cstdlib>

namespace kestrune {

template <typename Call> auto SystemCall(Call call) {
    errno = 0;
#ifdef _WIN32
    _doserrno = 0; // where the C library keeps the system's own code
#endif
    return call();
}

} // namespace kestrune
