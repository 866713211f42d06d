// Role owners, servers, providers, the default container, sites and subnets.
#include "adsi/adsi_path.h"
#include "directory/ole_error.h"
#include "directory/tntads.h"

namespace kestrune {
namespace {

std::shared_ptr<adsi::IADsNamespaces> Namespaces() {
    std::shared_ptr<adsi::IUnknown> object;
    OleCheck(adsi::ADsGetObject(u"ADs:", adsi::IADsNamespaces::IID_, object));
    if (!object) throw EOleError("Interface not supported", adsi::E_NOINTERFACE);
    return Supports<adsi::IADsNamespaces>(*object);
}

// "CN=DC1,CN=Servers,..." -> "\\DC1".
AnsiString ShortName(const AnsiString& dn) {
    AnsiString first = dn.substr(0, dn.find(','));
    return "\\\\" + (first.size() > 3 ? first.substr(3) : AnsiString());
}

} // namespace

AnsiString TNTADS::GetPDCEmulator(const AnsiString& domainPath, bool shortForm) {
    AnsiString result;
    if (domainPath.empty()) return result;
    std::shared_ptr<adsi::IDispatch> object;
    VBOpenObject(domainPath, object);
    std::shared_ptr<adsi::IADs> domain = Supports<adsi::IADs>(*object);
    try {
        result = WideToAnsi(GetPropertyValue(*domain, "fSMORoleOwner"));
        // The owner's settings object: its parent is the server. A value without a comma is
        // kept whole.
        size_t comma = result.find(',');
        if (comma != AnsiString::npos) result.erase(0, comma + 1);
        if (shortForm) {
            // The server's name is the text before the next comma; without one, nothing.
            AnsiString rest = result.size() > 3 ? result.substr(3) : AnsiString();
            comma = rest.find(',');
            result = "\\\\" + (comma == AnsiString::npos ? AnsiString() : rest.substr(0, comma));
        }
    } catch (const std::exception&) {
        result.clear();
    }
    return result;
}

TStringList* TNTADS::Serverlist(const AnsiString& domain, bool shortForm) {
    auto list = std::make_unique<TStringList>();
    AnsiString base = domain.empty() ? WideToAnsi(FDomain) : domain;
    FObjectCatagory = u"Computer";
    FSearchPath = AnsiToWide("LDAP://" + adsi::EscapePathDn(base));
    FFilter = u"operatingsystem=*server*";
    ExecuteSearch(*list);
    if (shortForm) {
        TStringList names;
        for (int i = 0; i < list->Count(); ++i)
            names.Add(ShortName((*list)[i]));
        list->Clear();
        for (int i = 0; i < names.Count(); ++i)
            list->Add(names[i]);
    }
    list->SetSorted(true);
    return list.release();
}

TStringList* TNTADS::GetProviders() {
    FProvider = "ADs:";
    std::shared_ptr<adsi::IADsContainer> container = OpenContainer();
    return container ? EnumerateContainer(*container) : nullptr;
}

AnsiString TNTADS::getDefaultContainer() {
    std::shared_ptr<adsi::IADsNamespaces> namespaces = Namespaces();
    FProvider = "ADs:";
    FADSPath.clear();
    std::u16string path;
    OleCheck(namespaces->get_DefaultContainer(path));
    return WideToAnsi(path);
}

bool TNTADS::SetDefaultContainer(const AnsiString& path) {
    std::shared_ptr<adsi::IADsNamespaces> namespaces = Namespaces();
    return adsi::SUCCEEDED(namespaces->put_DefaultContainer(AnsiToWide(path)));
}

void TNTADS::FillFromConfiguration(const AnsiString& head, TStringList& target) {
    FADSPath = head + CorrectDomain(WideToAnsi(FForest));
    target.Clear(); // the records of the last fill go with their entries
    std::shared_ptr<adsi::IDispatch> object;
    VBOpenObject("LDAP://" + adsi::EscapePathDn(FADSPath), object);
    std::shared_ptr<adsi::IADsContainer> container = Supports<adsi::IADsContainer>(*object);
    std::unique_ptr<TStringList> children(EnumerateContainer(*container));
    for (int i = 0; i < children->Count(); ++i) {
        const AnsiString& name = (*children)[i];
        target.AddObject(name.size() > 3 ? name.substr(3) : AnsiString(),
                         children->TakeObject(i).release());
    }
}

void TNTADS::GetSites() {
    FillFromConfiguration("CN=SITES,CN=CONFIGURATION,", *FSites);
}

void TNTADS::GetSubNets() {
    FillFromConfiguration("CN=Subnets,CN=SITES,CN=CONFIGURATION,", *FSubNets);
}

} // namespace kestrune
