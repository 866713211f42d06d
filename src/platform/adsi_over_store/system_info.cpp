#include "platform/adsi_over_store/system_info.h"

#include "adsi/domain_name_forms.h"
#include "base/ansi_string.h"
#include "platform/adsi_over_store/errors.h"
#include "platform/store/dn.h"

namespace kestrune::adsi_store {
namespace {

using namespace adsi;
using store::Entry;

class SystemInfo : public IADsADSystemInfo {
  public:
    explicit SystemInfo(std::shared_ptr<Forest> forest) : forest_(std::move(forest)) {}
    HRESULT QueryInterface(const IID& iid, std::shared_ptr<IUnknown>& out) override {
        return AnswerQuery<IADsADSystemInfo>(*this, iid, out);
    }
    HRESULT get_UserName(std::u16string& out) override {
        return Local("kestruneLocalUserName", "logged-on user", out);
    }
    HRESULT get_ComputerName(std::u16string& out) override {
        return Local("kestruneLocalComputerName", "computer account", out);
    }
    HRESULT get_SiteName(std::u16string& out) override {
        return Local("kestruneLocalSiteName", "site", out);
    }
    HRESULT get_DomainShortName(std::u16string& out) override {
        auto facts = forest_->Facts();
        std::string domain = store::NormalizeDn(facts->RootDse().First("defaultNamingContext"));
        for (const Entry& ref : facts->CrossRefs())
            // A cross-reference implied for an export has no NetBIOS name: nothing tells it.
            if (store::NormalizeDn(ref.First("nCName")) == domain &&
                !ref.First("nETBIOSName").empty()) {
                out = Utf8ToWide(ref.First("nETBIOSName"));
                return S_OK;
            }
        return Missing(*facts, HR_NO_SUCH_DOMAIN);
    }
    HRESULT get_DomainDNSName(std::u16string& out) override {
        return Dotted("defaultNamingContext", out);
    }
    HRESULT get_ForestDNSName(std::u16string& out) override {
        return Dotted("rootDomainNamingContext", out);
    }
    HRESULT get_PDCRoleOwner(std::u16string& out) override {
        return RoleOwner("defaultNamingContext", out);
    }
    HRESULT get_SchemaRoleOwner(std::u16string& out) override {
        return RoleOwner("schemaNamingContext", out);
    }
    HRESULT get_IsNativeMode(bool& out) override {
        Entry domain;
        HRESULT hr = S_OK;
        if (!ReadHead("defaultNamingContext", domain, hr)) return hr;
        out = domain.First("nTMixedDomain") == "0";
        return S_OK;
    }

  private:
    std::string Root(const char* attribute) { return forest_->Facts()->RootDse().First(attribute); }
    // What a missing fact means: the failed search's error when one failed (a timeout is no
    // missing attribute), else hr with the text.
    static HRESULT Missing(const ForestFacts& facts, HRESULT hr, const std::string& text = {}) {
        return facts.Failure().ok() ? Fail(hr, text) : FailFromStore(facts.Failure());
    }
    // The head entry of the naming context the rootDSE attribute names.
    bool ReadHead(const char* context, Entry& head, HRESULT& hr) {
        auto facts = forest_->Facts();
        std::string dn = facts->RootDse().First(context);
        if (dn.empty()) {
            hr = Missing(*facts, HR_NO_SUCH_DOMAIN);
            return false;
        }
        if (forest_->ReadEntry(dn, head, hr)) return true;
        // The directory's own reason, except that a head it does not hold is no such domain.
        if (hr == HR_NO_SUCH_OBJECT) hr = Fail(HR_NO_SUCH_DOMAIN);
        return false;
    }
    // A fact of the local session. Absent: the simulated domain says nothing of it, a failure.
    // Present but empty: a real directory was asked and holds nothing for this computer, an empty
    // answer.
    HRESULT Local(const char* attribute, const char* what, std::u16string& out) {
        auto facts = forest_->Facts();
        const auto* values = facts->RootDse().Find(attribute);
        std::string value = values && !values->empty() ? values->front() : std::string();
        if (!values || values->empty())
            return Missing(*facts, HR_NO_SUCH_DOMAIN,
                           std::string("The simulated domain does not name the ") + what +
                               " (the rootDSE has no " + attribute + ")");
        out = Utf8ToWide(value);
        return S_OK;
    }
    HRESULT Dotted(const char* attribute, std::u16string& out) {
        auto facts = forest_->Facts();
        std::string dn = facts->RootDse().First(attribute);
        if (dn.empty())
            return Missing(*facts, HR_NO_SUCH_DOMAIN,
                           std::string("The directory names no ") + attribute);
        out = Utf8ToWide(DnToDomainName(dn));
        return S_OK;
    }
    HRESULT RoleOwner(const char* context, std::u16string& out) {
        Entry head;
        HRESULT hr = S_OK;
        if (!ReadHead(context, head, hr)) return hr;
        out = Utf8ToWide(head.First("fSMORoleOwner"));
        return S_OK;
    }
    std::shared_ptr<Forest> forest_;
};

} // namespace

std::shared_ptr<IUnknown> MakeSystemInfo(std::shared_ptr<Forest> forest) {
    return std::make_shared<SystemInfo>(std::move(forest));
}

} // namespace kestrune::adsi_store
