#include "backup/backup_line.h"

#include "base/case_fold.h"

namespace kestrune {
namespace {

bool IsBlank(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 32;
}

} // namespace

namespace {

// SplitCommaText; glued (when given) tells for each field whether it was quoted and more text
// followed its closing quote at once, which began the next field: a quote inside the field.
std::vector<AnsiString> SplitFields(std::string_view line, std::vector<bool>* glued) {
    // A NUL ends the text, as it ends a C string.
    line = line.substr(0, line.find('\0'));
    std::vector<AnsiString> fields;
    size_t p = 0;
    auto skipBlanks = [&] {
        while (p < line.size() && IsBlank(line[p]))
            ++p;
    };
    skipBlanks();
    while (p < line.size()) {
        AnsiString field;
        if (line[p] == '"') {
            ++p;
            while (p < line.size()) {
                if (line[p] == '"') {
                    ++p;
                    if (p >= line.size() || line[p] != '"') break;
                }
                field += line[p++];
            }
        } else {
            size_t start = p;
            while (p < line.size() && static_cast<unsigned char>(line[p]) > 32 && line[p] != ',')
                ++p;
            field.assign(line.substr(start, p - start));
        }
        fields.push_back(std::move(field));
        if (glued)
            glued->push_back(p < line.size() && !IsBlank(line[p]) && line[p] != ',' && p > 0 &&
                             line[p - 1] == '"');
        skipBlanks();
        if (p < line.size() && line[p] == ',') {
            if (p + 1 == line.size()) fields.emplace_back();
            ++p;
            skipBlanks();
        }
    }
    return fields;
}

} // namespace

std::vector<AnsiString> SplitCommaText(std::string_view line) {
    return SplitFields(line, nullptr);
}

bool QuoteInsidePathOrTarget(std::string_view line) {
    std::vector<bool> glued;
    std::vector<AnsiString> fields = SplitFields(line, &glued);
    for (size_t i = 2; i < 4 && i < fields.size(); ++i)
        if (glued[i] || fields[i].find('"') != AnsiString::npos) return true;
    return false;
}

bool IsBlankLine(std::string_view line) {
    for (char c : line)
        if (static_cast<unsigned char>(c) > 32) return false;
    return true;
}

std::vector<AnsiString> SplitBackupLine(std::string_view line) {
    std::vector<AnsiString> fields = SplitCommaText(line);
    // dfscmd /verb "path" "\\target" "comment": neither a path nor a target can hold a double
    // quote, so everything between the target's closing quote pair and the final quote is
    // the comment, even when it holds quotes itself.
    for (std::string_view verb : {"dfscmd /map \"", "dfscmd /add \""}) {
        if (line.rfind(verb, 0) != 0) continue;
        size_t pathEnd = line.find("\" \"", verb.size());
        if (pathEnd == std::string_view::npos) break;
        size_t targetEnd = line.find("\" \"", pathEnd + 3);
        if (targetEnd == std::string_view::npos || line.size() < targetEnd + 4 ||
            line.back() != '"')
            break;
        std::string_view path = line.substr(verb.size(), pathEnd - verb.size());
        std::string_view target = line.substr(pathEnd + 3, targetEnd - pathEnd - 3);
        if (path.find('"') != std::string_view::npos || target.find('"') != std::string_view::npos)
            break;
        return {"dfscmd", AnsiString(verb.substr(7, 4)), AnsiString(path), AnsiString(target),
                AnsiString(line.substr(targetEnd + 3, line.size() - targetEnd - 4))};
    }
    return fields;
}

TargetParts SplitTargetField(const AnsiString& field) {
    AnsiString rest = field.size() > 2 ? field.substr(2) : AnsiString();
    size_t slash = rest.find('\\');
    if (slash == AnsiString::npos) return {AnsiString(), rest};
    return {rest.substr(0, slash), rest.substr(slash + 1)};
}

Expected<BackupLineParts> ParseBackupLine(const AnsiString& line) {
    const std::string refused = "not a backup line";
    if (line.find('\0') != AnsiString::npos) return Error{0, refused};
    // Whatever the code page would replace would name another link.
    if (!DecodesInCodePage(line))
        return Error{0, refused + " (it is not text in code page " +
                            std::to_string(ActiveCodePage()) + ")"};
    // Neither a path nor a share name can hold a double quote: one there ends the field early
    // and the rest would pass for the next field.
    if (QuoteInsidePathOrTarget(line))
        return Error{0, refused + " (a double quote inside the entry path or the target)"};
    std::vector<AnsiString> fields = SplitBackupLine(line);
    if (fields.size() < 5) return Error{0, refused};
    return BackupLineParts{fields[2], SplitTargetField(fields[3]), fields[4], fields[1] == "/add"};
}

bool IsNamespaceRootPath(std::string_view entryPath) {
    if (entryPath.size() < 3 || entryPath.substr(0, 2) != "\\\\") return false;
    size_t domainEnd = entryPath.find('\\', 2);
    return domainEnd != std::string_view::npos && domainEnd > 2 &&
           domainEnd + 1 < entryPath.size() &&
           entryPath.find('\\', domainEnd + 1) == std::string_view::npos;
}

AnsiString FormatBackupLine(const AnsiString& Path, const AnsiString& Share,
                            const AnsiString& Comment, int32_t Index) {
    AnsiString line;
    line.reserve(Path.size() + Share.size() + Comment.size() + 24);
    line += Index <= 0 ? "dfscmd /map" : "dfscmd /add";
    line += " \"";
    line += Path;
    line += "\" \"\\\\";
    line += Share;
    line += "\" \"";
    line += Comment;
    line += '"';
    return line;
}

AnsiString TargetText(const TargetParts& target) {
    return target.server + "\\" + target.share;
}

std::u16string TargetKey(const BackupLineParts& line) {
    return CaseKey(line.entryPath) + u'\0' + CaseKey(TargetText(line.target));
}

} // namespace kestrune
