#include "platform/store/directory_store.h"

#include "base/ascii.h"

#include <iterator>

namespace kestrune::store {

const std::vector<std::string>* Entry::Find(std::string_view type) const {
    for (const Attribute& a : attributes)
        if (SameTextAscii(a.type, type)) return &a.values;
    return nullptr;
}

std::string Entry::First(std::string_view type) const {
    const std::vector<std::string>* values = Find(type);
    return values && !values->empty() ? values->front() : std::string();
}

Status SearchAll(DirectoryStore& store, const SearchRequest& request, std::vector<Entry>& out) {
    out.clear();
    SearchRequest paged = request;
    if (paged.pageSize == 0) paged.pageSize = 1000;
    std::unique_ptr<SearchCursor> cursor;
    Status status = store.Search(paged, cursor);
    if (!status.ok()) return status;
    std::vector<Entry> page;
    for (;;) {
        status = cursor->NextPage(page);
        std::move(page.begin(), page.end(), std::back_inserter(out));
        if (!status.ok() || page.empty()) return status;
    }
}

} // namespace kestrune::store
