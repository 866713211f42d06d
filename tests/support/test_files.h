// Files a test sets up and reads back: a failure throws EFileError, which fails the test with
// the file's name and the system's reason.
#pragma once

#include "base/file_io.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace kestrune::testing {

inline std::string ReadTestFile(const std::filesystem::path& file) {
    return OrThrowFileError(ReadWholeFile(file));
}

inline void WriteTestFile(const std::filesystem::path& file, std::string_view bytes) {
    OrThrowFileError(WriteWholeFile(file, bytes));
}

} // namespace kestrune::testing
