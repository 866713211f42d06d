#include "base/spill_file.h"

#include "base/file_io.h"

#include <cerrno>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kestrune {

SpillFile::~SpillFile() {
#ifdef _WIN32
    if (fd_ >= 0) ::_close(fd_);
#else
    if (fd_ >= 0) ::close(fd_);
#endif
}

bool SpillFile::Append(std::string_view bytes) {
    if (failed_) return false;
    if (fd_ < 0 && (fd_ = OpenScratchFile(beside_)) < 0) failed_ = true;
    // A short write leaves bytes that were never asked for: nothing more goes to the file.
    if (!failed_ && !WriteAll(fd_, bytes)) failed_ = true;
    if (failed_) return false;
    size_ += bytes.size();
    return true;
}

std::string SpillFile::ReadAll() const {
    std::string bytes(static_cast<size_t>(size_), '\0');
    for (uint64_t at = 0; at < size_;) {
        long long n = ReadFileAt(fd_, bytes.data() + at, static_cast<size_t>(size_ - at), at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            ThrowFileError("Cannot read file", beside_.parent_path() / "(scratch file)",
                           n < 0 ? SystemErrorText(errno) : "It ended early.", n < 0 ? errno : 0);
        at += static_cast<uint64_t>(n);
    }
    return bytes;
}

} // namespace kestrune
