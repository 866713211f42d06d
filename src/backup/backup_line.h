// A backup line: written from a target of an entry, read back into its fields.
#pragma once

#include "base/ansi_string.h"
#include "base/expected.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrune {

// dfscmd /map "<Path>" "\\<Share>" "<Comment>" for the first target of an entry (Index <= 0),
// dfscmd /add for the others. Nothing inside the quotes is escaped.
AnsiString FormatBackupLine(const AnsiString& Path, const AnsiString& Share,
                            const AnsiString& Comment, int32_t Index);

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

// server\share, the form the platform reports a target in.
AnsiString TargetText(const TargetParts& target);

// What a line's target is known by, case ignored: its entry path and its target. Two lines with
// one key add the same target to the same entry.
std::u16string TargetKey(const BackupLineParts& line);

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

} // namespace kestrune
