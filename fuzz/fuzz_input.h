// Cutting a fuzzer's bytes into the pieces a target feeds to the code under test, and a
// scratch folder for targets that need files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace kestrune::fuzz {

// The input's lines ("\n"); within a line, fields split at tabs. Fields may spell any byte as
// \n, \r, \t, \0, \\ or \xHH, so that one line can carry line breaks and NULs.
class FuzzInput {
  public:
    FuzzInput(const uint8_t* data, size_t size)
        : text_(reinterpret_cast<const char*>(data), size) {}

    bool NextLine(std::vector<std::string>& fields) {
        if (pos_ >= text_.size()) return false;
        size_t nl = text_.find('\n', pos_);
        std::string_view line =
            text_.substr(pos_, nl == std::string_view::npos ? std::string_view::npos : nl - pos_);
        pos_ = nl == std::string_view::npos ? text_.size() : nl + 1;
        fields.clear();
        size_t start = 0;
        for (;;) {
            size_t tab = line.find('\t', start);
            fields.push_back(Unescape(line.substr(
                start, tab == std::string_view::npos ? std::string_view::npos : tab - start)));
            if (tab == std::string_view::npos) return true;
            start = tab + 1;
        }
    }

    static std::string Unescape(std::string_view raw) {
        std::string out;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] != '\\' || i + 1 == raw.size()) {
                out += raw[i];
                continue;
            }
            char c = raw[++i];
            if (c == 'n')
                out += '\n';
            else if (c == 'r')
                out += '\r';
            else if (c == 't')
                out += '\t';
            else if (c == '0')
                out += '\0';
            else if (c == 'x' && i + 2 < raw.size() && IsHex(raw[i + 1]) && IsHex(raw[i + 2])) {
                out += static_cast<char>(std::stoi(std::string(raw.substr(i + 1, 2)), nullptr, 16));
                i += 2;
            } else {
                out += c;
            }
        }
        return out;
    }

  private:
    static bool IsHex(char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    }
    std::string_view text_;
    size_t pos_ = 0;
};

// A private folder for the files of one fuzzing process, in memory when the system has a
// memory file system; removed at exit. (The name is never destroyed: the removal at exit
// runs after the destructors of statics made later.)
inline const std::filesystem::path& ScratchFolder() {
    static const std::filesystem::path* folder = new std::filesystem::path([] {
        std::filesystem::path base = std::filesystem::exists("/dev/shm")
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
        std::filesystem::path f = base / ("kestrune-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(f);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(ScratchFolder(), ignored);
        });
        return f;
    }());
    return *folder;
}

// A broken invariant: report it and abort, so that the fuzzer keeps the input.
[[noreturn]] inline void Broken(const std::string& what) {
    std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
    std::abort();
}

} // namespace kestrune::fuzz
