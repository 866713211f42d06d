#include "cli/namespace_list.h"

#include "backup/restore_line.h"
#include "base/collation.h"
#include "base/win_errors.h"

#include <algorithm>

namespace kestrune {

NamespaceList ListNamespaces(TOXLDFS& dfs, const AnsiString& domain) {
    NamespaceList list;
    auto savedWide = dfs.ONDFSEnumWide;
    auto savedEnum = dfs.ONDFSEnum;
    dfs.ONDFSEnumWide = [&](TOXLDFS*, const WideString& name) { list.names.push_back(name); };
    dfs.ONDFSEnum = nullptr;
    dfs.SetDFSEntry(AnsiToWide("\\\\" + domain));
    dfs.EnumRoots();
    dfs.ONDFSEnumWide = std::move(savedWide);
    dfs.ONDFSEnum = std::move(savedEnum);
    // The walk ends with ERROR_NO_MORE_ITEMS; anything else is a domain that cannot be read.
    if (dfs.LastError() != ERROR_NO_MORE_ITEMS) {
        list.names.clear();
        list.error = TrimControls(ErrorText(static_cast<int32_t>(dfs.LastError())));
        return list;
    }
    std::sort(list.names.begin(), list.names.end(), [](const WideString& a, const WideString& b) {
        return CompareText(WideToAnsi(a), WideToAnsi(b)) < 0;
    });
    return list;
}

} // namespace kestrune
