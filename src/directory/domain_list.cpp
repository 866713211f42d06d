// The forest root and the list of the forest's domains.
#include "adsi/adsi_path.h"
#include "directory/tntads.h"

#include <algorithm>

namespace kestrune {

AnsiString TNTADS::GetRoot() {
    AnsiString name = WideToAnsi(FDomain);
    if (name.find(',') == AnsiString::npos) name = CorrectDomain(name);
    // The last two components: the forest root is taken to be the last two labels.
    while (std::count(name.begin(), name.end(), ',') > 1)
        name.erase(0, name.find(',') + 1);
    return name;
}

TStringList* TNTADS::GetDomains(const AnsiString& root, bool shortNames) {
    auto list = std::make_unique<TStringList>();
    AnsiString base = root.empty() ? GetRoot() : root;
    FObjectCatagory = u"Domain";
    FSearchPath = AnsiToWide("GC://" + adsi::EscapePathDn(CorrectDomain(base)));
    FSubs = true;
    FFilter.clear();
    ExecuteSearch(*list);
    if (shortNames) {
        TStringList names;
        for (int i = 0; i < list->Count(); ++i) {
            const AnsiString& dn = (*list)[i];
            size_t comma = dn.find(',');
            AnsiString first = comma == AnsiString::npos ? AnsiString() : dn.substr(0, comma);
            names.Add(first.size() > 3 ? first.substr(3) : AnsiString());
        }
        list->Clear();
        for (int i = 0; i < names.Count(); ++i)
            list->Add(names[i]);
    }
    return list.release();
}

bool TNTADS::DomainExists(const AnsiString& path) {
    return ObjectExists(path);
}

} // namespace kestrune
