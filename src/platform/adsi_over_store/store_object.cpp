#include "platform/adsi_over_store/store_object.h"

#include "base/ansi_string.h"
#include "platform/adsi_over_store/collections.h"
#include "platform/adsi_over_store/errors.h"
#include "platform/adsi_over_store/values.h"
#include "platform/store/dn.h"
#include "platform/store/filter.h"

namespace kestrune::adsi_store {

using namespace adsi;
using store::Entry;
using store::Scope;

HRESULT StoreObject::QueryInterface(const IID& iid, std::shared_ptr<IUnknown>& out) {
    // Users (computers too) and groups answer as such; other objects do not.
    if ((iid == IADsUser::IID_ && !IsA("user")) || (iid == IADsGroup::IID_ && !IsA("group"))) {
        out.reset();
        return E_NOINTERFACE;
    }
    return AnswerQuery<IADs, IADsUser, IADsGroup, IADsContainer, IDirectorySearch>(*this, iid, out);
}

HRESULT StoreObject::get_Name(std::u16string& out) {
    return Set(out, Utf8ToWide(store::FirstRdn(entry_.dn)));
}

HRESULT StoreObject::get_Class(std::u16string& out) {
    const auto* classes = entry_.Find("objectClass");
    if (!classes || classes->empty()) return Fail(E_ADS_PROPERTY_NOT_FOUND);
    return Set(out, Utf8ToWide(classes->back()));
}

HRESULT StoreObject::get_GUID(std::u16string& out) {
    const auto* guid = entry_.Find("objectGUID");
    if (!guid || guid->empty()) return Fail(E_ADS_PROPERTY_NOT_FOUND);
    return Set(out, HexOf(guid->front()));
}

HRESULT StoreObject::get_ADsPath(std::u16string& out) {
    return Set(out, PathOf(path_, entry_.dn));
}

HRESULT StoreObject::get_Parent(std::u16string& out) {
    return Set(out, PathOf(path_, store::ParentDn(entry_.dn)));
}

HRESULT StoreObject::get_Schema(std::u16string& out) {
    std::u16string cls;
    HRESULT hr = get_Class(cls);
    if (FAILED(hr)) return hr;
    return Set(out, Prefix(path_) + u"schema/" + cls);
}

HRESULT StoreObject::Get(const std::u16string& name, Variant& out) {
    std::string attribute = WideToUtf8(name);
    const std::vector<std::string>* values = entry_.Find(attribute);
    if (store::FoldCase(attribute) == "distinguishedname" && !values) {
        out = Variant::String(Utf8ToWide(entry_.dn));
        return S_OK;
    }
    if (!values || values->empty())
        return Fail(E_ADS_PROPERTY_NOT_FOUND,
                    "The directory property cannot be found in the cache");
    auto facts = forest_->Facts();
    store::AttributeSyntax syntax = facts->SyntaxOf(attribute);
    // Without the schema a value would take the wrong type.
    if (!facts->Failure().ok()) return FailFromStore(facts->Failure());
    if (values->size() == 1) {
        out = ValueOf(syntax, values->front());
        return S_OK;
    }
    std::vector<Variant> all;
    all.reserve(values->size());
    for (const std::string& v : *values)
        all.push_back(ValueOf(syntax, v));
    out = Variant::Array(std::move(all));
    return S_OK;
}

HRESULT StoreObject::GetInfo() {
    Entry fresh;
    HRESULT hr = S_OK;
    if (!forest_->ReadEntry(entry_.dn, fresh, hr)) return hr;
    entry_ = std::move(fresh);
    return S_OK;
}

HRESULT StoreObject::Groups(std::shared_ptr<IADsMembers>& out) {
    // Within the object's own domain (the longest naming context its DN ends with): a
    // directory server searches no further, and not at all from the root.
    std::string key = store::NormalizeDn(entry_.dn), context;
    auto facts = forest_->Facts();
    const std::vector<Entry>& crossRefs = facts->CrossRefs();
    if (!facts->Failure().ok()) return FailFromStore(facts->Failure());
    for (const Entry& ref : crossRefs) {
        std::string nc = store::NormalizeDn(ref.First("nCName"));
        bool under = key == nc || (key.size() > nc.size() &&
                                   key.compare(key.size() - nc.size(), nc.size(), nc) == 0 &&
                                   key[key.size() - nc.size() - 1] == ',');
        if (under && nc.size() > context.size()) context = nc;
    }
    std::vector<Entry> groups;
    store::Status status = store::SearchAll(
        forest_->Directory(),
        {context,
         Scope::Subtree,
         "(&(objectClass=group)(member=" + store::EscapeFilterValue(entry_.dn) + "))",
         {},
         0},
        groups);
    if (!status.ok()) return FailFromStore(status);
    out = std::make_shared<MemberCollection>(Objects(std::move(groups)));
    return S_OK;
}

// The objects its member attribute names; names of deleted objects are left out.
HRESULT StoreObject::Members(std::shared_ptr<IADsMembers>& out) {
    std::vector<Entry> members;
    if (const auto* names = entry_.Find("member")) {
        for (const std::string& dn : *names) {
            Entry member;
            HRESULT ignored = S_OK;
            if (forest_->ReadEntry(dn, member, ignored)) members.push_back(std::move(member));
        }
    }
    out = std::make_shared<MemberCollection>(Objects(std::move(members)));
    return S_OK;
}

HRESULT StoreObject::get__NewEnum(std::shared_ptr<IEnumVARIANT>& out) {
    std::vector<Entry> children;
    store::Status status = store::SearchAll(
        forest_->Directory(), {entry_.dn, Scope::OneLevel, "(objectClass=*)", {}, 0}, children);
    if (!status.ok()) return FailFromStore(status);
    out = std::make_shared<VariantEnum>(Objects(std::move(children)));
    return S_OK;
}

HRESULT StoreObject::Delete(const std::u16string&, const std::u16string& relativeName) {
    std::string child = store::JoinDn(WideToUtf8(relativeName), entry_.dn);
    if (store::NormalizeDn(child).empty()) return BadPath();
    store::Status status = forest_->Directory().Delete(child);
    return status.ok() ? S_OK : FailFromStore(status);
}

HRESULT StoreObject::MoveHere(const std::u16string& sourcePath, const std::u16string& newName,
                              std::shared_ptr<IDispatch>& out) {
    out.reset();
    Path source;
    if (!ParsePath(sourcePath, source) || store::NormalizeDn(source.dn).empty()) return BadPath();
    std::string rdn = newName.empty() ? store::FirstRdn(source.dn) : WideToUtf8(newName);
    store::Status status = forest_->Directory().Rename(source.dn, rdn, true, entry_.dn);
    if (!status.ok()) return FailFromStore(status);
    Entry moved;
    HRESULT hr = S_OK;
    if (!forest_->ReadEntry(store::JoinDn(rdn, entry_.dn), moved, hr)) return hr;
    Path path = path_;
    path.dn = moved.dn;
    out = std::make_shared<StoreObject>(forest_, path, std::move(moved));
    return S_OK;
}

bool StoreObject::IsA(std::string_view cls) const {
    const auto* classes = entry_.Find("objectClass");
    if (!classes) return false;
    for (const std::string& c : *classes)
        if (store::FoldCase(c) == cls) return true;
    return false;
}

std::vector<Variant> StoreObject::Objects(std::vector<Entry> entries) const {
    std::vector<Variant> items;
    items.reserve(entries.size());
    for (Entry& e : entries) {
        Path path = path_;
        path.dn = e.dn;
        items.push_back(
            Variant::Dispatch(std::make_shared<StoreObject>(forest_, path, std::move(e))));
    }
    return items;
}

} // namespace kestrune::adsi_store
