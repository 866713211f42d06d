// The XML files of "dfsutil root export": a namespace's root, links and targets with their
// comments, states, referral times and flags, read into the lines and properties of a backup
// file pair, and a backup file pair written back in the shape Microsoft's tool imports.
#pragma once

#include "backup/properties_file.h"
#include "base/ansi_string.h"
#include "base/expected.h"

#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

// Whether the bytes are such an export: XML (UTF-8 or UTF-16, a byte-order mark, a declaration
// and comments allowed) whose first element is <Root>.
bool IsDfsutilExport(std::string_view bytes);

struct DfsutilExport {
    std::vector<AnsiString> lines;  // backup lines in the code page, root first, in file order
    NamespaceProperties properties; // the same as a properties file records them, UTF-8
};

// Reads an export. A bare "&" (the tool does not escape one in a comment or a path) is read as
// text. What cannot be read is refused naming the element: "<Link Name="Data">: a <Target>
// without Server at byte 212".
Expected<DfsutilExport> ParseDfsutilExport(std::string_view bytes);

// The export of a namespace in the shape of Microsoft's recovery article: <Root> with its root
// targets, then a <Link> per link with its targets, each with State and Timeout (the recorded
// ones when given, else the defaults), the root's and links' Attributes (property flags) and a
// Comment where an entry has one; a target's priority, where it is not the default, in the
// attributes the reader takes (PriorityClass, PriorityRank).
// UTF-8, escaped, CR LF. lines are backup lines (code page) of one namespace; properties the
// recorded properties of the same file, or null.
Expected<std::string> FormatDfsutilExport(const std::vector<AnsiString>& lines,
                                          const NamespaceProperties* properties);

} // namespace kestrune
