// INI files: any file content is read without harm; a value written reads back as written,
// and every other key keeps its value. Input: the file's content up to a line "\x01", then
// one line: section, key, value, other section, other key (tab separated).
#include "base/file_io.h"
#include "base/ini_file.h"
#include "fuzz_input.h"

#include <algorithm>

using namespace kestrune;

namespace {

bool Plain(const std::string& s, const char* forbidden) {
    if (s.empty() || s.front() == ' ' || s.back() == ' ' || s.front() == '\t' || s.back() == '\t')
        return false;
    return s.find_first_of(std::string(forbidden) + std::string("\r\n\v\f\0", 5)) ==
           std::string::npos;
}

bool SameName(std::string a, std::string b) {
    auto lower = [](std::string& s) {
        std::transform(s.begin(), s.end(), s.begin(),
                       [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
    };
    lower(a);
    lower(b);
    return a == b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view all(reinterpret_cast<const char*>(data), size);
    size_t split = all.find("\n\x01\n");
    std::string content(all.substr(0, split));
    std::filesystem::path file = fuzz::ScratchFolder() / "kestrune.ini";
    OrThrowFileError(WriteWholeFile(file, content));
    if (split == std::string_view::npos) {
        ReadIniString(file, "General", "Outputpath", "");
        return 0;
    }
    std::string_view rest = all.substr(split + 3);
    fuzz::FuzzInput input(reinterpret_cast<const uint8_t*>(rest.data()), rest.size());
    std::vector<std::string> f;
    if (!input.NextLine(f) || f.size() < 5) return 0;
    const std::string &section = f[0], &key = f[1], &value = f[2], &otherSection = f[3],
                      &otherKey = f[4];
    AnsiString otherBefore = ReadIniString(file, otherSection, otherKey, "\x01");
    if (!WriteIniString(file, section, key, value)) fuzz::Broken("cannot write the INI file");
    // Names and values the format can carry unchanged.
    bool plainValue = value.empty() ||
                      (Plain(value, "") && !((value.front() == '"' || value.front() == '\'') &&
                                             value.size() >= 2 && value.back() == value.front()));
    if (!Plain(section, "]") || section.front() == '[' || !Plain(key, "=") || key.front() == ';' ||
        key.front() == '[' || !plainValue)
        return 0;
    if (ReadIniString(file, section, key, "\x01") != value)
        fuzz::Broken("a written value reads back differently");
    if (!(SameName(section, otherSection) && SameName(key, otherKey)) &&
        ReadIniString(file, otherSection, otherKey, "\x01") != otherBefore)
        fuzz::Broken("writing one key changed another");
    return 0;
}
