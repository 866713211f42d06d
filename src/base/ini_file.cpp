#include "base/ini_file.h"

#include "base/ascii.h"
#include "base/file_io.h"

#include <optional>
#include <vector>

namespace kestrune {
namespace {

struct Line {
    std::string_view text; // without its line end
    std::string_view end;  // "\r\n", "\n" or "" for a last line without one
};

std::vector<Line> SplitLines(std::string_view bytes) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t nl = bytes.find('\n', start);
        if (nl == std::string_view::npos) {
            lines.push_back({bytes.substr(start), {}});
            break;
        }
        size_t stop = nl > start && bytes[nl - 1] == '\r' ? nl - 1 : nl;
        lines.push_back({bytes.substr(start, stop - start), bytes.substr(stop, nl + 1 - stop)});
        start = nl + 1;
    }
    return lines;
}

// The name of a section header line, or nothing.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    size_t close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(line.substr(1, close - 1));
}

// The key of a "key=value" line, or nothing (comments and other lines).
std::optional<std::string_view> KeyName(std::string_view line) {
    std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';') return std::nullopt;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return Trim(line.substr(0, eq));
}

std::string_view ValueOf(std::string_view line) {
    std::string_view value = Trim(line.substr(line.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

struct Location {
    std::optional<size_t> section; // index of the header line
    std::optional<size_t> key;     // index of the key line
    size_t insertAt = 0;           // where a new key of the section goes
};

Location Find(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    Location at;
    bool inside = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (auto name = SectionName(lines[i].text)) {
            if (inside) break; // the section ended
            inside = SameTextAscii(*name, section);
            if (inside) {
                at.section = i;
                at.insertAt = i + 1;
            }
            continue;
        }
        if (!inside) continue;
        if (!Trim(lines[i].text).empty()) at.insertAt = i + 1;
        auto name = KeyName(lines[i].text);
        if (name && SameTextAscii(*name, key)) {
            at.key = i;
            break;
        }
    }
    return at;
}

} // namespace

AnsiString ReadIniString(const std::filesystem::path& file, std::string_view section,
                         std::string_view key, std::string_view defaultValue,
                         std::string* problem) {
    if (problem) problem->clear();
    Expected<std::string> bytes = ReadRegularFile(file, kMaxIniFileBytes);
    if (!bytes) {
        if (problem && !IsMissingFile(bytes.error())) *problem = bytes.error().text;
        return AnsiString(defaultValue);
    }
    std::vector<Line> lines = SplitLines(*bytes);
    Location at = Find(lines, section, key);
    if (!at.key) return AnsiString(defaultValue);
    return AnsiString(ValueOf(lines[*at.key].text));
}

Expected<void> WriteIniString(const std::filesystem::path& file, std::string_view section,
                              std::string_view key, std::string_view value) {
    std::string bytes;
    if (Expected<std::string> read = ReadRegularFile(file, kMaxIniFileBytes))
        bytes = std::move(*read);
    else if (!IsMissingFile(read.error()))
        return read.error();
    std::vector<Line> lines = SplitLines(bytes);
    Location at = Find(lines, section, key);
    std::string keyLine = std::string(key) + "=" + std::string(value);

    std::string out;
    out.reserve(bytes.size() + keyLine.size() + section.size() + 8);
    auto emit = [&](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) {
            out += lines[i].text;
            out += lines[i].end;
        }
    };
    if (at.key) {
        emit(0, *at.key);
        out += keyLine;
        out += lines[*at.key].end.empty() ? std::string_view("\r\n") : lines[*at.key].end;
        emit(*at.key + 1, lines.size());
    } else if (at.section) {
        emit(0, at.insertAt);
        if (!out.empty() && out.back() != '\n') out += "\r\n";
        out += keyLine + "\r\n";
        emit(at.insertAt, lines.size());
    } else {
        emit(0, lines.size());
        if (!out.empty() && out.back() != '\n') out += "\r\n";
        out += "[" + std::string(section) + "]\r\n" + keyLine + "\r\n";
    }

    return ReplaceFileContents(file, out);
}

} // namespace kestrune
