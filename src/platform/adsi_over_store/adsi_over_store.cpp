#include "platform/adsi_over_store/adsi_over_store.h"

#include "base/ascii.h"

#include "platform/adsi_over_store/errors.h"
#include "platform/adsi_over_store/forest.h"
#include "platform/adsi_over_store/namespaces_object.h"
#include "platform/adsi_over_store/provider_paths.h"
#include "platform/adsi_over_store/schema_class.h"
#include "platform/adsi_over_store/store_object.h"
#include "platform/adsi_over_store/system_info.h"
#include "platform/store/dn.h"

namespace kestrune {
namespace {

// LDAP://RootDSE (or LDAP://server/RootDSE): the path reads "RootDSE" as a server or a DN.
bool IsRootDse(const adsi_store::Path& path) {
    const bool named = SameTextAscii(path.dn, "RootDSE");
    const bool asServer = path.dn.empty() && path.server.size() == 7 &&
                          SameTextAscii(WideToUtf8(path.server), "RootDSE");
    return named || asServer;
}

using namespace adsi;
using namespace adsi_store;

class StoreAdsi : public AdsiPlatform {
  public:
    explicit StoreAdsi(std::shared_ptr<store::DirectoryStore> directory)
        : forest_(std::make_shared<Forest>(std::move(directory))) {}

    HRESULT GetObject(const std::u16string& text, const IID& iid,
                      std::shared_ptr<IUnknown>& out) override {
        out.reset();
        if (text == u"ADs:") {
            auto facts = forest_->Facts();
            std::string user = facts->RootDse().First("kestruneLocalUserName");
            if (!facts->Failure().ok()) return FailFromStore(facts->Failure());
            return MakeNamespaces(forest_, user)->QueryInterface(iid, out);
        }
        Path path;
        if (!ParsePath(text, path)) return BadPath();
        auto facts = forest_->Facts();
        // A fact that could not be read is the directory's failure, not an absent object.
        auto missing = [&](HRESULT hr) {
            return facts->Failure().ok() ? Fail(hr) : FailFromStore(facts->Failure());
        };
        if (std::string cls = SchemaClassName(path); !cls.empty()) {
            if (!facts->Class(cls)) return missing(HR_NO_SUCH_OBJECT);
            return std::make_shared<SchemaClass>(text, cls, facts)->QueryInterface(iid, out);
        }
        const bool rootDse = path.provider == u"LDAP" && IsRootDse(path);
        const bool serverIsRootDse = rootDse && path.dn.empty(); // LDAP://RootDSE
        if (!path.server.empty() && !serverIsRootDse && !facts->KnowsServer(path.server))
            return missing(HR_SERVER_NOT_OPERATIONAL);
        store::Entry entry;
        if (path.dn.empty() && path.provider == u"LDAP" && !rootDse)
            path.dn = facts->RootDse().First("defaultNamingContext");
        if (path.dn.empty() && !facts->Failure().ok()) return FailFromStore(facts->Failure());
        if (rootDse) {
            // The server's own entry, as ADSI binds it: what it serves and the forest's root.
            entry = facts->RootDse();
            if (!facts->Failure().ok()) return FailFromStore(facts->Failure());
        } else if (path.dn.empty() && path.provider == u"GC") {
            // The global catalog's root: the forest root domain, searched across the forest.
            entry.dn = facts->RootDse().First("rootDomainNamingContext");
        } else {
            HRESULT hr = S_OK;
            if (store::NormalizeDn(path.dn).empty()) return BadPath();
            if (!forest_->ReadEntry(path.dn, entry, hr)) return hr;
        }
        if (path.provider == u"GC") path.dn = entry.dn;
        return std::make_shared<StoreObject>(forest_, path, std::move(entry))
            ->QueryInterface(iid, out);
    }

    HRESULT CreateInstance(const CLSID& clsid, const IID& iid,
                           std::shared_ptr<IUnknown>& out) override {
        out.reset();
        if (!(clsid == CLSID_ADSystemInfo)) return Fail(REGDB_E_CLASSNOTREG);
        return MakeSystemInfo(forest_)->QueryInterface(iid, out);
    }

  private:
    std::shared_ptr<Forest> forest_;
};

} // namespace

std::shared_ptr<AdsiPlatform> MakeStoreAdsi(std::shared_ptr<store::DirectoryStore> directory) {
    return std::make_shared<StoreAdsi>(std::move(directory));
}

} // namespace kestrune
