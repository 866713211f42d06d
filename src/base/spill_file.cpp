#include "base/spill_file.h"

#include "base/file_io.h"

#include <algorithm>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <io.h>

#include "base/windows_sdk.h"
#else
#include <sys/mman.h>
#endif

namespace kestrune {

SpillFile::~SpillFile() {
    Unmap();
}

bool SpillFile::Append(std::string_view bytes) {
    if (failed_ || mapped_ || !read_.empty()) return false;
    if (!fd_.IsOpen()) {
        Expected<FileDescriptor> opened = OpenScratchFile(beside_);
        if (opened)
            fd_ = std::move(*opened);
        else
            failed_ = true;
    }
    // A short write leaves bytes that were never asked for: nothing more goes to the file.
    if (!failed_ && !WriteAll(fd_, bytes)) failed_ = true;
    if (failed_) return false;
    size_ += bytes.size();
    return true;
}

void SpillFile::Unmap() {
    if (!mapped_) return;
#ifdef _WIN32
    UnmapViewOfFile(mapped_);
#else
    ::munmap(mapped_, static_cast<size_t>(size_));
#endif
    mapped_ = nullptr;
}

std::string_view SpillFile::Contents() {
    if (size_ == 0) return {};
    if (mapped_) return {static_cast<const char*>(mapped_), static_cast<size_t>(size_)};
    if (!read_.empty()) return read_;
        // Mapped, the bytes are read in place, never copied into memory of the program's own.
#ifdef _WIN32
    HANDLE file = reinterpret_cast<HANDLE>(::_get_osfhandle(fd_.Get()));
    if (HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr)) {
        mapped_ = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(size_));
        CloseHandle(mapping); // the view keeps the mapping
    }
#else
    void* view = ::mmap(nullptr, static_cast<size_t>(size_), PROT_READ, MAP_PRIVATE | MAP_POPULATE,
                        fd_.Get(), 0);
    if (view != MAP_FAILED) mapped_ = view;
#endif
    if (mapped_) return {static_cast<const char*>(mapped_), static_cast<size_t>(size_)};
    read_.resize(static_cast<size_t>(size_));
    for (uint64_t at = 0; at < size_;) {
        Expected<size_t> n =
            ReadFileAt(fd_, read_.data() + at, static_cast<size_t>(size_ - at), at);
        if (!n || *n == 0) {
            read_.clear();
            const Error why = n ? Error{0, "It ended early."} : n.error();
            ThrowFileError("Cannot read file", beside_.parent_path() / "(scratch file)", why.text,
                           static_cast<int>(why.code));
        }
        at += *n;
    }
    return read_;
}

Expected<void>
SpillFile::ForEachPiece(const std::function<Expected<void>(std::string_view)>& piece) const {
    std::vector<char> buffer(static_cast<size_t>(std::min<uint64_t>(size_, uint64_t(1) << 20)));
    for (uint64_t at = 0; at < size_;) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer.size(), size_ - at));
        Expected<size_t> n = ReadFileAt(fd_, buffer.data(), want, at);
        if (!n) return n.error();
        if (*n == 0) return Error{0, "The scratch file ended early."};
        if (Expected<void> taken = piece(std::string_view(buffer.data(), *n)); !taken) return taken;
        at += *n;
    }
    return {};
}

} // namespace kestrune
