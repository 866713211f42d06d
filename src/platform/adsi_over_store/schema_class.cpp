#include "platform/adsi_over_store/schema_class.h"

#include "base/ansi_string.h"
#include "platform/adsi_over_store/errors.h"
#include "platform/adsi_over_store/values.h"
#include "platform/store/dn.h"

#include <functional>
#include <unordered_set>

namespace kestrune::adsi_store {

using namespace adsi;

SchemaClass::SchemaClass(std::u16string path, std::string name, std::shared_ptr<ForestFacts> facts)
    : path_(std::move(path)), name_(std::move(name)), facts_(std::move(facts)),
      entry_(*facts_->Class(name_)) {}

HRESULT SchemaClass::QueryInterface(const IID& iid, std::shared_ptr<IUnknown>& out) {
    return AnswerQuery<IADs, IADsClass>(*this, iid, out);
}

HRESULT SchemaClass::get_Name(std::u16string& out) {
    return Set(out, Utf8ToWide(entry_.First("lDAPDisplayName")));
}
HRESULT SchemaClass::get_Class(std::u16string& out) {
    return Set(out, u"Class");
}
HRESULT SchemaClass::get_GUID(std::u16string& out) {
    return Set(out, HexOf(entry_.First("schemaIDGUID")));
}
HRESULT SchemaClass::get_ADsPath(std::u16string& out) {
    return Set(out, path_);
}
HRESULT SchemaClass::get_Parent(std::u16string& out) {
    return Set(out, path_.substr(0, path_.rfind(u'/')));
}
HRESULT SchemaClass::get_Schema(std::u16string&) {
    return Fail(E_ADS_PROPERTY_NOT_FOUND);
}
HRESULT SchemaClass::Get(const std::u16string& name, Variant& out) {
    std::string attribute = WideToUtf8(name);
    const auto* values = entry_.Find(attribute);
    if (!values || values->empty()) return Fail(E_ADS_PROPERTY_NOT_FOUND);
    std::vector<Variant> all;
    for (const std::string& v : *values)
        all.push_back(Variant::String(Utf8ToWide(v)));
    out = all.size() == 1 ? all.front() : Variant::Array(std::move(all));
    return S_OK;
}
HRESULT SchemaClass::GetInfo() {
    return S_OK;
}
HRESULT SchemaClass::get_MandatoryProperties(Variant& out) {
    out = Inherited({"systemMustContain", "mustContain"});
    return S_OK;
}
HRESULT SchemaClass::get_OptionalProperties(Variant& out) {
    out = Inherited({"systemMayContain", "mayContain"});
    return S_OK;
}

Variant SchemaClass::Inherited(std::initializer_list<const char*> attributes) const {
    std::vector<Variant> names;
    std::unordered_set<std::string> seenNames, seenClasses;
    auto superclass = [&](const std::string& cls) {
        const store::Entry* entry = facts_->Class(cls);
        return entry ? entry->First("subClassOf") : std::string();
    };
    // The class and its superclasses, up to top; each is visited in this order, so a
    // superclass shared with an auxiliary class (top) comes last.
    std::vector<std::string> chain;
    for (std::string cls = name_; !cls.empty() && seenClasses.insert(store::FoldCase(cls)).second;
         cls = superclass(cls))
        chain.push_back(cls);
    // A class's own names, then those of its auxiliary classes (and theirs).
    std::function<void(const std::string&)> visit = [&](const std::string& cls) {
        const store::Entry* entry = facts_->Class(cls);
        if (!entry) return;
        for (const char* attribute : attributes)
            if (const auto* values = entry->Find(attribute))
                for (const std::string& v : *values)
                    if (seenNames.insert(store::FoldCase(v)).second)
                        names.push_back(Variant::String(Utf8ToWide(v)));
        for (const char* aux : {"systemAuxiliaryClass", "auxiliaryClass"})
            if (const auto* values = entry->Find(aux))
                for (const std::string& v : *values)
                    for (std::string c = v;
                         !c.empty() && seenClasses.insert(store::FoldCase(c)).second;
                         c = superclass(c))
                        visit(c);
    };
    for (const std::string& cls : chain)
        visit(cls);
    if (names.size() == 1) return names.front();
    return Variant::Array(std::move(names));
}

} // namespace kestrune::adsi_store
