// Whether a directory export ends as the tool that wrote it ends a whole one. A copy that ran
// out of space or a download cut short still parses, its last record missing values or whole
// attributes, and would back up a namespace silently wrong; what each tool writes after its
// last record tells the two apart:
// - ldifde: every line, the last record's last one too, ends with CR LF;
// - ldapsearch (-L, with comments): the closing "search:" and "result:" block after the last
//   entry;
// - ldapsearch -LL or -LLL (no closing block): a blank line after the last entry.
#pragma once

#include "platform/store/directory_store.h"

#include <string>
#include <string_view>

namespace kestrune::store {

// head: the export's first bytes (enough to hold ldapsearch's opening comments); tail: its last
// bytes, the last record whole where it can be; lastLine: the number of the file's last line.
// The error reads "<name>:<line>: the export ends inside its last record ...".
Status CheckExportEnding(std::string_view head, std::string_view tail, const std::string& name,
                         size_t lastLine);

} // namespace kestrune::store
