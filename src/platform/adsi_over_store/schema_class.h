// A class of the schema, bound as LDAP://schema/<class>: its mandatory and optional attributes,
// inherited ones included (its superclasses and auxiliary classes).
#pragma once

#include "adsi/adsi.h"
#include "platform/adsi_over_store/forest.h"

namespace kestrune::adsi_store {

class SchemaClass : public adsi::IADsClass {
  public:
    // facts must know the class.
    SchemaClass(std::u16string path, std::string name, std::shared_ptr<ForestFacts> facts);

    adsi::HRESULT QueryInterface(const adsi::IID& iid,
                                 std::shared_ptr<adsi::IUnknown>& out) override;
    adsi::HRESULT get_Name(std::u16string& out) override;
    adsi::HRESULT get_Class(std::u16string& out) override;
    adsi::HRESULT get_GUID(std::u16string& out) override;
    adsi::HRESULT get_ADsPath(std::u16string& out) override;
    adsi::HRESULT get_Parent(std::u16string& out) override;
    adsi::HRESULT get_Schema(std::u16string& out) override;
    adsi::HRESULT Get(const std::u16string& name, adsi::Variant& out) override;
    adsi::HRESULT GetInfo() override;
    adsi::HRESULT get_MandatoryProperties(adsi::Variant& out) override;
    adsi::HRESULT get_OptionalProperties(adsi::Variant& out) override;

  private:
    // The values of the attributes over the class, its auxiliary classes and its superclasses,
    // each name once: one as a string, several as an array, as ADSI hands them out.
    adsi::Variant Inherited(std::initializer_list<const char*> attributes) const;

    std::u16string path_;
    std::string name_;
    std::shared_ptr<ForestFacts> facts_;
    const store::Entry& entry_;
};

} // namespace kestrune::adsi_store
