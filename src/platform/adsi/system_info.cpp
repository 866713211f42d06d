#include "platform/adsi/system_info.h"

#include "base/ansi_string.h"
#include "directory/domain_name_forms.h"
#include "platform/adsi/errors.h"
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
            if (store::NormalizeDn(ref.First("nCName")) == domain) {
                out = Utf8ToWide(ref.First("nETBIOSName"));
                return S_OK;
            }
        return Fail(HR_NO_SUCH_DOMAIN);
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
        if (!forest_->ReadEntry(Root("defaultNamingContext"), domain, hr))
            return Fail(HR_NO_SUCH_DOMAIN);
        out = domain.First("nTMixedDomain") == "0";
        return S_OK;
    }

  private:
    std::string Root(const char* attribute) { return forest_->Facts()->RootDse().First(attribute); }
    // A fact of the local session. Absent: the simulated domain says nothing of it, a failure.
    // Present but empty: a real directory was asked and holds nothing for this computer, an empty
    // answer.
    HRESULT Local(const char* attribute, const char* what, std::u16string& out) {
        const auto* values = forest_->Facts()->RootDse().Find(attribute);
        std::string value = values && !values->empty() ? values->front() : std::string();
        if (!values || values->empty())
            return Fail(HR_NO_SUCH_DOMAIN, std::string("The simulated domain does not name the ") +
                                               what + " (the rootDSE has no " + attribute + ")");
        out = Utf8ToWide(value);
        return S_OK;
    }
    HRESULT Dotted(const char* attribute, std::u16string& out) {
        std::string dn = Root(attribute);
        if (dn.empty())
            return Fail(HR_NO_SUCH_DOMAIN, std::string("The directory names no ") + attribute);
        out = Utf8ToWide(DnToDomainName(dn));
        return S_OK;
    }
    HRESULT RoleOwner(const char* context, std::u16string& out) {
        Entry head;
        HRESULT hr = S_OK;
        if (!forest_->ReadEntry(Root(context), head, hr)) return Fail(HR_NO_SUCH_DOMAIN);
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
