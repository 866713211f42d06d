// Reading a backup line back: fields, the target, error texts.
#pragma once

#include "base/ansi_string.h"
#include "base/expected.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrune {

// Splits a line by the comma-text rules of a string list: comma delimiter, double-quote
// quoting (two quotes inside stand for one), blanks and control characters separate fields.
std::vector<AnsiString> SplitCommaText(std::string_view line);

// Whether a line holds nothing but blanks and control characters: a hand-edited file's empty
// line, which says nothing.
bool IsBlankLine(std::string_view line);

// The five fields of a backup line: the command, the verb, the entry path, the target and the
// comment. A line in the exact shape the backup writes keeps its comment verbatim, double
// quotes included; any other line is split by SplitCommaText.
std::vector<AnsiString> SplitBackupLine(std::string_view line);

struct TargetParts {
    AnsiString server;
    AnsiString share;
};

// "\\srv\share\sub" -> srv, share\sub: the first two characters are dropped, whatever they
// are; the server ends at the first backslash of the rest. Without one, the server is empty.
TargetParts SplitTargetField(const AnsiString& field);

// What a backup line asks a restore to do: add server\share to the entry path, with the
// comment for a link the restore creates.
struct BackupLineParts {
    AnsiString entryPath;
    TargetParts target;
    AnsiString comment;
    bool furtherTarget = false; // an "/add" line
};

// Whether an entry path names a namespace's root (\\domain\namespace) rather than a link.
bool IsNamespaceRootPath(std::string_view entryPath);

// An error ("not a backup line", with what is wrong where that helps) when the line lacks the
// five fields of a backup line; holds a NUL, which would cut a path or a comment short on its
// way to the platform; has bytes that are no text in the code page, which the conversion would
// replace; or has a double quote inside the entry path or the target.
Expected<BackupLineParts> ParseBackupLine(const AnsiString& line);

// Whether the entry path or the target field (the third and fourth) holds a double quote,
// doubled inside quotes or ending a quoted part early.
bool QuoteInsidePathOrTarget(std::string_view line);

// Which text handed to the DFS component is too long for it, as " (the <field> is longer than
// <n> characters)"; empty when none is. servername is the name as handed over.
std::string TooLongFieldNote(const BackupLineParts& parts, const AnsiString& servername);

// The code in decimal, ": " and the system's text for it (with its line end).
AnsiString ErrorText(int32_t Code);

// Removes leading and trailing characters of codes 0 to 32.
AnsiString TrimControls(const AnsiString& text);

} // namespace kestrune
