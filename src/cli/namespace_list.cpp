#include "cli/namespace_list.h"

#include "backup/backup_line.h"
#include "base/collation.h"
#include "base/message_table.h"
#include "base/win_errors.h"
#include "dfs/borrowed_handlers.h"

#include <algorithm>

namespace kestrune {

NamespaceList ListNamespaces(TOXLDFS& dfs, const AnsiString& domain) {
    NamespaceList list;
    {
        BorrowedHandlers borrowed(dfs);
        dfs.ONDFSEnumWide = [&](TOXLDFS*, const WideString& name) { list.names.push_back(name); };
        dfs.SetDFSEntry(AnsiToWide("\\\\" + domain));
        dfs.EnumRoots();
    }
    // The walk ends with ERROR_NO_MORE_ITEMS; anything else is a domain that cannot be read.
    if (dfs.LastError() != ERROR_NO_MORE_ITEMS) {
        list.names.clear();
        list.error = StatusText(dfs.LastError());
        return list;
    }
    std::sort(list.names.begin(), list.names.end(), [](const WideString& a, const WideString& b) {
        return CompareText(WideToAnsi(a), WideToAnsi(b)) < 0;
    });
    return list;
}

} // namespace kestrune
