// The filter parser, and searches by filter: what the store's indexes find must be exactly
// what matching every entry finds.
#include "fuzz_input.h"
#include "platform/memory_store/memory_store.h"
#include "platform/store/filter.h"

#include <set>

using namespace kestrune;
using namespace kestrune::store;

namespace {

const char* kEntries = R"(dn: DC=x
objectClass: domainDNS

dn: OU=Links,DC=x
objectClass: organizationalUnit
name: Links

dn: CN=L1,OU=Links,DC=x
objectClass: msDFS-Linkv2
msDFS-LinkPathv2: /Dept/Share
msDFS-Commentv2: first link

dn: CN=L2,OU=Links,DC=x
objectClass: msDFS-Linkv2
msDFS-LinkPathv2: /Dept/Share/Sub
msDFS-TargetListv2:: AAEC

dn: CN=Alice,DC=x
objectClass: user
sAMAccountName: alice
uSNChanged: 500
description:: w6l0w6k=
)";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<Filter> filter;
    Status status = Filter::Parse(text, filter);
    if (status.ok() != static_cast<bool>(filter)) fuzz::Broken("a filter exactly when parsed");
    if (!status.ok()) {
        if (status.code != ResultCode::FilterError) fuzz::Broken("a refusal is a filter error");
        return 0;
    }
    static MemoryStore* store = [] {
        auto* s = new MemoryStore;
        if (!s->LoadText(kEntries, "entries").ok()) std::abort();
        return s;
    }();
    std::vector<Entry> all;
    if (!SearchAll(*store, {"DC=x", Scope::Subtree, "(objectClass=*)", {}, 0}, all).ok())
        std::abort();
    std::set<std::string> scanned;
    for (const Entry& e : all)
        if (filter->Matches(e)) scanned.insert(e.dn);
    std::vector<Entry> found;
    if (!SearchAll(*store, {"DC=x", Scope::Subtree, text, {"1.1"}, 0}, found).ok())
        fuzz::Broken("a filter that parses must search");
    std::set<std::string> searched;
    for (const Entry& e : found)
        searched.insert(e.dn);
    // objectCategory values are rewritten by the search, so they may differ from a scan.
    if (searched != scanned && text.find("ategory") == std::string::npos)
        fuzz::Broken("the search found other entries than a scan with the filter");
    return 0;
}
