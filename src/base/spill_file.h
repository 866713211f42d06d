// Bytes a long run keeps on disk rather than in memory until it reads them back: a scratch
// file beside a given file (see OpenScratchFile), made at the first append and gone when the
// SpillFile is.
#pragma once

#include "base/expected.h"

#include "base/file_io.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace kestrune {

class SpillFile {
  public:
    explicit SpillFile(std::filesystem::path besideFile) : beside_(std::move(besideFile)) {}
    ~SpillFile();
    SpillFile(const SpillFile&) = delete;
    SpillFile& operator=(const SpillFile&) = delete;

    // Appends the bytes; false when the file cannot be made or written, now or before (the
    // caller then keeps the bytes itself). Not after Contents.
    bool Append(std::string_view bytes);
    uint64_t Size() const { return size_; }
    // Everything appended, in order, valid while the SpillFile lives: the file mapped into
    // memory where the system allows, else read into it. Throws EFileError when it cannot be
    // read back.
    std::string_view Contents();
    // Hands everything appended to piece, a piece at a time, never holding it whole; stops at
    // the first failure to read it back, or of piece.
    Expected<void> ForEachPiece(const std::function<Expected<void>(std::string_view)>& piece) const;

  private:
    void Unmap();

    std::filesystem::path beside_;
    FileDescriptor fd_;
    bool failed_ = false;
    uint64_t size_ = 0;
    void* mapped_ = nullptr;
    std::string read_; // when it could not be mapped
};

} // namespace kestrune
