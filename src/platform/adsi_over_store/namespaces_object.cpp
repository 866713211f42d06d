#include "platform/adsi_over_store/namespaces_object.h"

#include "platform/adsi_over_store/collections.h"
#include "platform/adsi_over_store/errors.h"

namespace kestrune::adsi_store {
namespace {

using namespace adsi;

// "LDAP:" and "GC:", the providers as the namespaces object lists them.
class ProviderObject : public IADs {
  public:
    explicit ProviderObject(std::u16string name) : name_(std::move(name)) {}
    HRESULT QueryInterface(const IID& iid, std::shared_ptr<IUnknown>& out) override {
        return AnswerQuery<IADs>(*this, iid, out);
    }
    HRESULT get_Name(std::u16string& out) override { return Set(out, name_); }
    HRESULT get_Class(std::u16string& out) override { return Set(out, u"Namespace"); }
    HRESULT get_GUID(std::u16string& out) override { return Set(out, u""); }
    HRESULT get_ADsPath(std::u16string& out) override { return Set(out, name_); }
    HRESULT get_Parent(std::u16string& out) override { return Set(out, u"ADs:"); }
    HRESULT get_Schema(std::u16string&) override { return Fail(E_ADS_PROPERTY_NOT_FOUND); }
    HRESULT Get(const std::u16string&, Variant&) override { return Fail(E_ADS_PROPERTY_NOT_FOUND); }
    HRESULT GetInfo() override { return S_OK; }

  private:
    std::u16string name_;
};

class Namespaces : public IADsNamespaces, public IADsContainer {
  public:
    Namespaces(std::shared_ptr<Forest> forest, std::string user)
        : forest_(std::move(forest)), user_(std::move(user)) {}
    HRESULT QueryInterface(const IID& iid, std::shared_ptr<IUnknown>& out) override {
        return AnswerQuery<IADs, IADsNamespaces, IADsContainer>(*this, iid, out);
    }
    HRESULT get_Name(std::u16string& out) override { return Set(out, u"ADs:"); }
    HRESULT get_Class(std::u16string& out) override { return Set(out, u"Namespaces"); }
    HRESULT get_GUID(std::u16string& out) override {
        return Set(out, u"{233664B0-0367-11CF-ABC4-02608C9E7553}");
    }
    HRESULT get_ADsPath(std::u16string& out) override { return Set(out, u"ADs:"); }
    HRESULT get_Parent(std::u16string& out) override { return Set(out, u""); }
    HRESULT get_Schema(std::u16string& out) override { return Set(out, u""); }
    HRESULT Get(const std::u16string&, Variant&) override { return Fail(E_ADS_PROPERTY_NOT_FOUND); }
    HRESULT GetInfo() override { return S_OK; }
    HRESULT get_DefaultContainer(std::u16string& out) override {
        auto it = forest_->defaultContainers.find(user_);
        out = it == forest_->defaultContainers.end() ? std::u16string() : it->second;
        return S_OK;
    }
    HRESULT put_DefaultContainer(const std::u16string& value) override {
        forest_->defaultContainers[user_] = value;
        return S_OK;
    }
    HRESULT get__NewEnum(std::shared_ptr<IEnumVARIANT>& out) override {
        out = std::make_shared<VariantEnum>(
            std::vector<Variant>{Variant::Dispatch(std::make_shared<ProviderObject>(u"LDAP:")),
                                 Variant::Dispatch(std::make_shared<ProviderObject>(u"GC:"))});
        return S_OK;
    }
    HRESULT Delete(const std::u16string&, const std::u16string&) override {
        return Fail(E_NOTIMPL);
    }
    HRESULT MoveHere(const std::u16string&, const std::u16string&,
                     std::shared_ptr<IDispatch>& out) override {
        out.reset();
        return Fail(E_NOTIMPL);
    }

  private:
    std::shared_ptr<Forest> forest_;
    std::string user_;
};

} // namespace

std::shared_ptr<IUnknown> MakeNamespaces(std::shared_ptr<Forest> forest, std::string user) {
    return std::make_shared<Namespaces>(std::move(forest), std::move(user));
}

} // namespace kestrune::adsi_store
