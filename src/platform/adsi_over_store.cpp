#include "platform/adsi_over_store.h"

#include "base/last_error.h"
#include "base/message_table.h"
#include "directory/adsi_path.h"
#include "directory/tntads.h"
#include "platform/attribute_syntax.h"
#include "platform/store/dn.h"
#include "platform/store/filter.h"

#include <map>
#include <optional>

namespace kestrune {
namespace {

using namespace adsi;
using store::Entry;
using store::Scope;

class TextErrorInfo : public IErrorInfo {
  public:
    explicit TextErrorInfo(std::u16string text) : text_(std::move(text)) {}
    std::u16string Description() const override { return text_; }

  private:
    std::u16string text_;
};

// Leaves the failure where callers look for it: the thread's last error and error info.
HRESULT Fail(HRESULT hr, const std::string& description = std::string()) {
    SetLastError(Win32Code(hr));
    std::string text = description;
    if (text.empty()) {
        text = FormatSystemMessage(static_cast<uint32_t>(hr));
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
    }
    SetErrorInfo(text.empty() ? nullptr : std::make_shared<TextErrorInfo>(Utf8ToWide(text)));
    return hr;
}

HRESULT FromStore(const store::Status& status) {
    switch (status.code) {
    case store::ResultCode::NoSuchObject:
        return Fail(HR_NO_SUCH_OBJECT);
    case store::ResultCode::InvalidDnSyntax:
        return Fail(E_ADS_BAD_PATHNAME, "An invalid directory pathname was passed");
    case store::ResultCode::FilterError:
        return Fail(E_INVALIDARG, status.message);
    case store::ResultCode::InsufficientAccessRights:
        return Fail(E_ACCESSDENIED);
    case store::ResultCode::EntryAlreadyExists:
        return Fail(HR_ALREADY_EXISTS);
    case store::ResultCode::NotAllowedOnNonLeaf:
        return Fail(HR_NOT_ALLOWED_ON_NON_LEAF);
    case store::ResultCode::Unavailable:
        return Fail(HR_SERVER_NOT_OPERATIONAL, status.message);
    default:
        return Fail(E_FAIL, status.message);
    }
}

struct Path {
    std::u16string provider;  // "LDAP" or "GC"
    std::u16string server;    // as written, possibly empty
    std::string dn;           // UTF-8
    bool schemaClass = false; // LDAP://schema/<class>
};

// The directory as ADSI sees it: its rootDSE, naming contexts and servers.
class Forest {
  public:
    explicit Forest(std::shared_ptr<store::DirectoryStore> directory)
        : directory_(std::move(directory)) {}

    store::DirectoryStore& Directory() { return *directory_; }

    Entry RootDse() {
        std::vector<Entry> found;
        if (store::SearchAll(*directory_, {"", Scope::Base, "(objectClass=*)", {}, 0}, found)
                .ok() &&
            !found.empty())
            return found.front();
        return Entry{};
    }

    bool ReadEntry(const std::string& dn, Entry& out, HRESULT& hr) {
        std::vector<Entry> found;
        store::Status status =
            store::SearchAll(*directory_, {dn, Scope::Base, "(objectClass=*)", {}, 0}, found);
        if (!status.ok() || found.empty()) {
            hr = status.ok() ? Fail(HR_NO_SUCH_OBJECT) : FromStore(status);
            return false;
        }
        out = std::move(found.front());
        return true;
    }

    std::vector<Entry> CrossRefs() {
        Entry root = RootDse();
        std::vector<Entry> refs;
        store::SearchAll(*directory_,
                         {"CN=Partitions," + root.First("configurationNamingContext"),
                          Scope::OneLevel,
                          "(objectClass=crossRef)",
                          {"nCName", "dnsRoot", "nETBIOSName"},
                          0},
                         refs);
        return refs;
    }

    // Naming contexts, folded: the domains, the configuration and the schema.
    std::vector<std::string> NamingContexts() {
        std::vector<std::string> contexts;
        for (const Entry& ref : CrossRefs())
            contexts.push_back(store::NormalizeDn(ref.First("nCName")));
        Entry root = RootDse();
        contexts.push_back(store::NormalizeDn(root.First("configurationNamingContext")));
        contexts.push_back(store::NormalizeDn(root.First("schemaNamingContext")));
        return contexts;
    }

    // The naming context that holds dn: the longest one it ends with.
    std::string ContextOf(const std::string& dn, const std::vector<std::string>& contexts) {
        std::string key = store::NormalizeDn(dn);
        std::string best;
        for (const std::string& nc : contexts) {
            bool under = key == nc || (key.size() > nc.size() &&
                                       key.compare(key.size() - nc.size(), nc.size(), nc) == 0 &&
                                       key[key.size() - nc.size() - 1] == ',');
            if (under && nc.size() > best.size()) best = nc;
        }
        return best;
    }

    // A server name in a path: a domain controller (DNS or short name, with or without "\\")
    // or a domain's DNS or NetBIOS name.
    bool KnowsServer(const std::u16string& server) {
        std::string name = store::FoldCase(WideToUtf8(server));
        while (!name.empty() && name.front() == '\\')
            name.erase(name.begin());
        if (name.empty()) return false;
        Entry root = RootDse();
        std::string host = store::FoldCase(root.First("dnsHostName"));
        if (name == host || name == host.substr(0, host.find('.'))) return true;
        for (const Entry& ref : CrossRefs())
            if (name == store::FoldCase(ref.First("dnsRoot")) ||
                name == store::FoldCase(ref.First("nETBIOSName")))
                return true;
        std::vector<Entry> servers;
        store::SearchAll(*directory_,
                         {"CN=Sites," + root.First("configurationNamingContext"),
                          Scope::Subtree,
                          "(objectClass=server)",
                          {"dNSHostName", "cn"},
                          0},
                         servers);
        for (const Entry& s : servers) {
            std::string dns = store::FoldCase(s.First("dNSHostName"));
            if (name == dns || name == store::FoldCase(s.First("cn"))) return true;
        }
        return false;
    }

    std::map<std::string, std::u16string> defaultContainers; // per user

  private:
    std::shared_ptr<store::DirectoryStore> directory_;
};

// A text property's answer.
HRESULT Set(std::u16string& out, std::u16string value) {
    out = std::move(value);
    return S_OK;
}

std::u16string Prefix(const Path& path) {
    std::u16string p = path.provider + u"://";
    if (!path.server.empty()) p += path.server + u"/";
    return p;
}

// The path of a DN under the provider and server of path, "/" escaped.
std::u16string PathOf(const Path& path, const std::string& dn) {
    return Prefix(path) + EscapePathDn(Utf8ToWide(dn));
}

std::u16string HexOf(const std::string& bytes) {
    static const char hex[] = "0123456789abcdef";
    std::u16string out;
    for (unsigned char c : bytes) {
        out += static_cast<char16_t>(hex[c >> 4]);
        out += static_cast<char16_t>(hex[c & 15]);
    }
    return out;
}

class LargeInteger : public IADsLargeInteger {
  public:
    explicit LargeInteger(int64_t value) : value_(value) {}
    HRESULT QueryInterface(const IID& iid, std::shared_ptr<IUnknown>& out) override {
        return AnswerQuery<IADsLargeInteger>(*this, iid, out);
    }
    int32_t HighPart() const override { return static_cast<int32_t>(value_ >> 32); }
    int32_t LowPart() const override { return static_cast<int32_t>(value_ & 0xFFFFFFFF); }

  private:
    int64_t value_;
};

// A security descriptor arrives as an object of its own; only its presence matters here.
class SecurityDescriptor : public IDispatch {
  public:
    HRESULT QueryInterface(const IID& iid, std::shared_ptr<IUnknown>& out) override {
        return AnswerQuery<>(*this, iid, out);
    }
};

Variant ValueOf(std::string_view attribute, const std::string& raw) {
    switch (SyntaxOf(attribute)) {
    case AttributeSyntax::Integer:
        return Variant::Int(static_cast<int32_t>(std::strtoll(raw.c_str(), nullptr, 10)));
    case AttributeSyntax::Boolean:
        return Variant::Bool(store::FoldCase(raw) == "true");
    case AttributeSyntax::LargeInteger:
        return Variant::Dispatch(
            std::make_shared<LargeInteger>(std::strtoll(raw.c_str(), nullptr, 10)));
    case AttributeSyntax::OctetString: {
        std::vector<Variant> bytes;
        for (unsigned char c : raw)
            bytes.push_back({VT_UI1, int64_t(c)});
        Variant v = Variant::Array(std::move(bytes));
        v.vt = VT_ARRAY | VT_UI1;
        return v;
    }
    case AttributeSyntax::SecurityDescriptor:
        return Variant::Dispatch(std::make_shared<SecurityDescriptor>());
    case AttributeSyntax::GeneralizedTime:
        return Variant::Date(OleDateFromGeneralizedTime(raw));
    default:
        return Variant::String(Utf8ToWide(raw));
    }
}

// LDAP://[server/]DN or GC://[server/]DN; the provider's name is matched exactly. The first
// unescaped "/" ends the server; a "/" inside the DN must be escaped ("\/"), as ADSI requires,
// so "LDAP://CN=10.0.0.0/16,..." is refused.
bool ParsePath(const std::u16string& text, Path& path) {
    size_t colon = text.find(u"://");
    if (colon == std::u16string::npos) return false;
    path.provider = text.substr(0, colon);
    if (path.provider != u"LDAP" && path.provider != u"GC") return false;
    std::u16string_view rest = std::u16string_view(text).substr(colon + 3);
    size_t slash = FindUnescaped(rest, u'/');
    if (slash != std::u16string_view::npos) {
        path.server = std::u16string(rest.substr(0, slash));
        rest = rest.substr(slash + 1);
        // A server name holds no "=": the text before the "/" was a DN.
        if (path.server.empty() || path.server.find(u'=') != std::u16string::npos) return false;
        // LDAP://[server/]schema/<class> names a class of the schema.
        bool schemaClass =
            store::FoldCase(WideToUtf8(path.server)) == "schema" ||
            store::FoldCase(WideToUtf8(std::u16string(rest.substr(0, 7)))) == "schema/";
        if (!schemaClass && FindUnescaped(rest, u'/') != std::u16string_view::npos) return false;
    } else if (!rest.empty() && rest.find(u'=') == std::u16string_view::npos) {
        path.server = std::u16string(rest); // LDAP://server alone: its default naming context
        rest = {};
    }
    path.dn = WideToUtf8(UnescapePathDn(rest));
    return true;
}

// The items of a collection, handed out one by one.
class VariantEnum : public IEnumVARIANT {
  public:
    explicit VariantEnum(std::vector<Variant> items) : items_(std::move(items)) {}
    HRESULT QueryInterface(const IID& iid, std::shared_ptr<IUnknown>& out) override {
        return AnswerQuery<IEnumVARIANT>(*this, iid, out);
    }
    HRESULT Next(uint32_t count, std::vector<Variant>& items) override {
        items.clear();
        while (items.size() < count && next_ < items_.size())
            items.push_back(items_[next_++]);
        return items.size() == count ? S_OK : S_FALSE;
    }

  private:
    std::vector<Variant> items_;
    size_t next_ = 0;
};

// A collection of directory objects (a group's members, a user's groups).
class MemberCollection : public IADsMembers {
  public:
    explicit MemberCollection(std::vector<Variant> items) : items_(std::move(items)) {}
    HRESULT QueryInterface(const IID& iid, std::shared_ptr<IUnknown>& out) override {
        return AnswerQuery<IADsMembers>(*this, iid, out);
    }
    HRESULT get__NewEnum(std::shared_ptr<IEnumVARIANT>& out) override {
        out = std::make_shared<VariantEnum>(items_);
        return S_OK;
    }

  private:
    std::vector<Variant> items_;
};

struct SearchState {
    std::unique_ptr<store::SearchCursor> cursor;
    std::vector<Entry> page;
    size_t row = 0;
    bool started = false;
    bool done = false;
    std::vector<std::string> contexts; // for keeping an LDAP search inside its naming context
    std::string context;
};

// One directory object bound by path.
class StoreObject : public IADsUser,
                    public IADsGroup,
                    public IADsContainer,
                    public IDirectorySearch {
  public:
    StoreObject(std::shared_ptr<Forest> forest, Path path, Entry entry)
        : forest_(std::move(forest)), path_(std::move(path)), entry_(std::move(entry)) {}

    HRESULT QueryInterface(const IID& iid, std::shared_ptr<IUnknown>& out) override {
        // Users (computers too) and groups answer as such; other objects do not.
        if ((iid == IADsUser::IID_ && !IsA("user")) || (iid == IADsGroup::IID_ && !IsA("group"))) {
            out.reset();
            return E_NOINTERFACE;
        }
        return AnswerQuery<IADs, IADsUser, IADsGroup, IADsContainer, IDirectorySearch>(*this, iid,
                                                                                       out);
    }

    // IADs
    HRESULT get_Name(std::u16string& out) override {
        out = Utf8ToWide(store::FirstRdn(entry_.dn));
        return S_OK;
    }
    HRESULT get_Class(std::u16string& out) override {
        const auto* classes = entry_.Find("objectClass");
        if (!classes || classes->empty()) return Fail(E_ADS_PROPERTY_NOT_FOUND);
        out = Utf8ToWide(classes->back());
        return S_OK;
    }
    HRESULT get_GUID(std::u16string& out) override {
        const auto* guid = entry_.Find("objectGUID");
        if (!guid || guid->empty()) return Fail(E_ADS_PROPERTY_NOT_FOUND);
        out = HexOf(guid->front());
        return S_OK;
    }
    HRESULT get_ADsPath(std::u16string& out) override {
        out = PathOf(path_, entry_.dn);
        return S_OK;
    }
    HRESULT get_Parent(std::u16string& out) override {
        out = PathOf(path_, store::ParentDn(entry_.dn));
        return S_OK;
    }
    HRESULT get_Schema(std::u16string& out) override {
        std::u16string cls;
        HRESULT hr = get_Class(cls);
        if (FAILED(hr)) return hr;
        out = Prefix(path_) + u"schema/" + cls;
        return S_OK;
    }
    HRESULT Get(const std::u16string& name, Variant& out) override {
        std::string attribute = WideToUtf8(name);
        const std::vector<std::string>* values = entry_.Find(attribute);
        if (store::FoldCase(attribute) == "distinguishedname" && !values) {
            out = Variant::String(Utf8ToWide(entry_.dn));
            return S_OK;
        }
        if (!values || values->empty())
            return Fail(E_ADS_PROPERTY_NOT_FOUND,
                        "The directory property cannot be found in the cache");
        if (values->size() == 1) {
            out = ValueOf(attribute, values->front());
            return S_OK;
        }
        std::vector<Variant> all;
        for (const std::string& v : *values)
            all.push_back(ValueOf(attribute, v));
        out = Variant::Array(std::move(all));
        return S_OK;
    }
    HRESULT GetInfo() override {
        Entry fresh;
        HRESULT hr = S_OK;
        if (!forest_->ReadEntry(entry_.dn, fresh, hr)) return hr;
        entry_ = std::move(fresh);
        return S_OK;
    }

    // IADsUser: the groups that list this object as a member.
    HRESULT Groups(std::shared_ptr<IADsMembers>& out) override {
        std::vector<Entry> groups;
        store::Status status = store::SearchAll(
            forest_->Directory(),
            {"",
             Scope::Subtree,
             "(&(objectClass=group)(member=" + store::EscapeFilterValue(entry_.dn) + "))",
             {},
             0},
            groups);
        if (!status.ok()) return FromStore(status);
        out = std::make_shared<MemberCollection>(Objects(std::move(groups)));
        return S_OK;
    }

    // IADsGroup: the objects its member attribute names; names of deleted objects are left out.
    HRESULT Members(std::shared_ptr<IADsMembers>& out) override {
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

    // IADsContainer
    HRESULT get__NewEnum(std::shared_ptr<IEnumVARIANT>& out) override {
        std::vector<Entry> children;
        store::Status status = store::SearchAll(
            forest_->Directory(), {entry_.dn, Scope::OneLevel, "(objectClass=*)", {}, 0}, children);
        if (!status.ok()) return FromStore(status);
        std::vector<Variant> items;
        items.reserve(children.size());
        for (Entry& child : children) {
            Path path = path_;
            path.dn = child.dn;
            items.push_back(
                Variant::Dispatch(std::make_shared<StoreObject>(forest_, path, std::move(child))));
        }
        out = std::make_shared<VariantEnum>(std::move(items));
        return S_OK;
    }
    HRESULT Delete(const std::u16string&, const std::u16string& relativeName) override {
        std::string child = store::JoinDn(WideToUtf8(relativeName), entry_.dn);
        if (store::NormalizeDn(child).empty())
            return Fail(E_ADS_BAD_PATHNAME, "An invalid directory pathname was passed");
        store::Status status = forest_->Directory().Delete(child);
        return status.ok() ? S_OK : FromStore(status);
    }
    HRESULT MoveHere(const std::u16string& sourcePath, const std::u16string& newName,
                     std::shared_ptr<IDispatch>& out) override {
        out.reset();
        Path source;
        if (!ParsePath(sourcePath, source) || store::NormalizeDn(source.dn).empty())
            return Fail(E_ADS_BAD_PATHNAME, "An invalid directory pathname was passed");
        std::string rdn = newName.empty() ? store::FirstRdn(source.dn) : WideToUtf8(newName);
        store::Status status = forest_->Directory().Rename(source.dn, rdn, true, entry_.dn);
        if (!status.ok()) return FromStore(status);
        Entry moved;
        HRESULT hr = S_OK;
        if (!forest_->ReadEntry(store::JoinDn(rdn, entry_.dn), moved, hr)) return hr;
        Path path = path_;
        path.dn = moved.dn;
        out = std::make_shared<StoreObject>(forest_, path, std::move(moved));
        return S_OK;
    }

    // IDirectorySearch
    HRESULT SetSearchPreference(ADS_SEARCHPREF_INFO* prefs, uint32_t count) override {
        if (!prefs && count) return Fail(E_POINTER);
        bool allAccepted = true;
        for (uint32_t i = 0; i < count; ++i) {
            ADS_SEARCHPREF_INFO& p = prefs[i];
            p.dwStatus = ADS_STATUS_S_OK;
            if (p.dwSearchPref == ADS_SEARCHPREF_PAGESIZE && p.dwType == ADSTYPE_INTEGER &&
                p.Integer >= 0) {
                pageSize_ = static_cast<size_t>(p.Integer);
            } else if (p.dwSearchPref == ADS_SEARCHPREF_SEARCH_SCOPE &&
                       p.dwType == ADSTYPE_INTEGER && p.Integer >= ADS_SCOPE_BASE &&
                       p.Integer <= ADS_SCOPE_SUBTREE) {
                scope_ = static_cast<ADS_SCOPE>(p.Integer);
            } else {
                p.dwStatus = p.dwSearchPref == ADS_SEARCHPREF_PAGESIZE ||
                                     p.dwSearchPref == ADS_SEARCHPREF_SEARCH_SCOPE
                                 ? ADS_STATUS_INVALID_SEARCHPREFVALUE
                                 : ADS_STATUS_INVALID_SEARCHPREF;
                allAccepted = false;
            }
        }
        return allAccepted ? S_OK : S_ADS_ERRORSOCCURRED;
    }

    HRESULT ExecuteSearch(const char16_t* filter, const std::vector<std::u16string>& attributes,
                          ADS_SEARCH_HANDLE* handle) override {
        if (!handle) return Fail(E_POINTER);
        *handle = nullptr;
        store::SearchRequest request;
        request.base = entry_.dn;
        request.scope = scope_ == ADS_SCOPE_BASE
                            ? Scope::Base
                            : (scope_ == ADS_SCOPE_ONELEVEL ? Scope::OneLevel : Scope::Subtree);
        request.filter = filter ? WideToUtf8(filter) : "(objectClass=*)";
        for (const auto& a : attributes)
            request.attributes.push_back(WideToUtf8(a));
        request.pageSize = pageSize_;
        auto state = std::make_unique<SearchState>();
        store::Status status = forest_->Directory().Search(request, state->cursor);
        if (!status.ok()) return FromStore(status);
        // Over LDAP a search stays inside the naming context it starts in; the global
        // catalog sees the whole forest.
        if (path_.provider == u"LDAP") {
            state->contexts = forest_->NamingContexts();
            state->context = forest_->ContextOf(entry_.dn, state->contexts);
        }
        *handle = state.release();
        return S_OK;
    }

    HRESULT GetFirstRow(ADS_SEARCH_HANDLE handle) override { return GetNextRow(handle); }

    HRESULT GetNextRow(ADS_SEARCH_HANDLE handle) override {
        auto* state = static_cast<SearchState*>(handle);
        if (!state) return Fail(E_INVALIDARG);
        for (;;) {
            if (state->started) ++state->row;
            state->started = true;
            while (state->row >= state->page.size()) {
                if (state->done) return S_ADS_NOMORE_ROWS;
                store::Status status = state->cursor->NextPage(state->page);
                if (!status.ok()) return FromStore(status);
                state->row = 0;
                if (state->page.empty()) {
                    state->done = true;
                    return S_ADS_NOMORE_ROWS;
                }
            }
            const Entry& row = state->page[state->row];
            if (state->context.empty() ||
                forest_->ContextOf(row.dn, state->contexts) == state->context)
                return S_OK;
        }
    }

    HRESULT GetColumn(ADS_SEARCH_HANDLE handle, const std::u16string& name,
                      ADS_SEARCH_COLUMN* column) override {
        auto* state = static_cast<SearchState*>(handle);
        if (!state || !column) return Fail(E_INVALIDARG);
        if (!state->started || state->row >= state->page.size()) return Fail(E_ADS_COLUMN_NOT_SET);
        const Entry& row = state->page[state->row];
        std::string attribute = WideToUtf8(name);
        column->pszAttrName = name;
        column->values.clear();
        std::string folded = store::FoldCase(attribute);
        if (folded == "distinguishedname") {
            column->dwADsType = ADSTYPE_DN_STRING;
            column->values.push_back(Utf8ToWide(row.dn));
            return S_OK;
        }
        if (folded == "adspath") {
            column->dwADsType = ADSTYPE_CASE_IGNORE_STRING;
            column->values.push_back(PathOf(path_, row.dn));
            return S_OK;
        }
        const auto* values = row.Find(attribute);
        if (!values || values->empty()) return E_ADS_COLUMN_NOT_SET;
        column->dwADsType = ADSTYPE_CASE_IGNORE_STRING;
        for (const auto& v : *values)
            column->values.push_back(Utf8ToWide(v));
        return S_OK;
    }

    HRESULT FreeColumn(ADS_SEARCH_COLUMN* column) override {
        if (!column) return Fail(E_INVALIDARG);
        column->values.clear();
        return S_OK;
    }

    HRESULT CloseSearchHandle(ADS_SEARCH_HANDLE handle) override {
        delete static_cast<SearchState*>(handle);
        return S_OK;
    }

  private:
    bool IsA(std::string_view cls) const {
        const auto* classes = entry_.Find("objectClass");
        if (!classes) return false;
        for (const std::string& c : *classes)
            if (store::FoldCase(c) == cls) return true;
        return false;
    }

    // Entries as bound objects of the same provider and server.
    std::vector<Variant> Objects(std::vector<Entry> entries) const {
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

    std::shared_ptr<Forest> forest_;
    Path path_;
    Entry entry_;
    size_t pageSize_ = 0;
    ADS_SCOPE scope_ = ADS_SCOPE_SUBTREE;
};

// A class of the schema, bound as LDAP://schema/<class>: its mandatory and optional attributes.
class SchemaClass : public IADsClass {
  public:
    SchemaClass(std::u16string path, Entry entry)
        : path_(std::move(path)), entry_(std::move(entry)) {}
    HRESULT QueryInterface(const IID& iid, std::shared_ptr<IUnknown>& out) override {
        return AnswerQuery<IADs, IADsClass>(*this, iid, out);
    }
    HRESULT get_Name(std::u16string& out) override {
        return Set(out, Utf8ToWide(entry_.First("lDAPDisplayName")));
    }
    HRESULT get_Class(std::u16string& out) override { return Set(out, u"Class"); }
    HRESULT get_GUID(std::u16string& out) override {
        return Set(out, HexOf(entry_.First("schemaIDGUID")));
    }
    HRESULT get_ADsPath(std::u16string& out) override { return Set(out, path_); }
    HRESULT get_Parent(std::u16string& out) override {
        return Set(out, path_.substr(0, path_.rfind(u'/')));
    }
    HRESULT get_Schema(std::u16string&) override { return Fail(E_ADS_PROPERTY_NOT_FOUND); }
    HRESULT Get(const std::u16string& name, Variant& out) override {
        const auto* values = entry_.Find(WideToUtf8(name));
        if (!values || values->empty()) return Fail(E_ADS_PROPERTY_NOT_FOUND);
        std::string attribute = WideToUtf8(name);
        out = Names({attribute.c_str()});
        return S_OK;
    }
    HRESULT GetInfo() override { return S_OK; }
    HRESULT get_MandatoryProperties(Variant& out) override {
        out = Names({"systemMustContain", "mustContain"});
        return S_OK;
    }
    HRESULT get_OptionalProperties(Variant& out) override {
        out = Names({"systemMayContain", "mayContain"});
        return S_OK;
    }

  private:
    // One name as a string, several as an array, as ADSI hands them out.
    Variant Names(std::initializer_list<const char*> attributes) const {
        std::vector<Variant> names;
        for (const char* attribute : attributes)
            if (const auto* values = entry_.Find(attribute))
                for (const std::string& v : *values)
                    names.push_back(Variant::String(Utf8ToWide(v)));
        if (names.size() == 1) return names.front();
        return Variant::Array(std::move(names));
    }
    std::u16string path_;
    Entry entry_;
};

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

// "ADs:", the namespaces object: its children are the providers.
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

class SystemInfo : public IADsADSystemInfo {
  public:
    explicit SystemInfo(std::shared_ptr<Forest> forest) : forest_(std::move(forest)) {}
    HRESULT QueryInterface(const IID& iid, std::shared_ptr<IUnknown>& out) override {
        return AnswerQuery<IADsADSystemInfo>(*this, iid, out);
    }
    HRESULT get_UserName(std::u16string& out) override {
        return Local("kestruneLocalUserName", out);
    }
    HRESULT get_ComputerName(std::u16string& out) override {
        return Local("kestruneLocalComputerName", out);
    }
    HRESULT get_SiteName(std::u16string& out) override {
        return Local("kestruneLocalSiteName", out);
    }
    HRESULT get_DomainShortName(std::u16string& out) override {
        std::string domain = store::NormalizeDn(Root().First("defaultNamingContext"));
        for (const Entry& ref : forest_->CrossRefs())
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
        if (!forest_->ReadEntry(Root().First("defaultNamingContext"), domain, hr))
            return Fail(HR_NO_SUCH_DOMAIN);
        out = domain.First("nTMixedDomain") == "0";
        return S_OK;
    }

  private:
    Entry Root() { return forest_->RootDse(); }
    HRESULT Local(const char* attribute, std::u16string& out) {
        Entry root = Root();
        const auto* v = root.Find(attribute);
        if (!v || v->empty()) return Fail(HR_NO_SUCH_DOMAIN);
        out = Utf8ToWide(v->front());
        return S_OK;
    }
    HRESULT Dotted(const char* attribute, std::u16string& out) {
        std::string dn = Root().First(attribute);
        if (dn.empty()) return Fail(HR_NO_SUCH_DOMAIN);
        out = Utf8ToWide(TNTADS::ToDotname(dn));
        return S_OK;
    }
    HRESULT RoleOwner(const char* context, std::u16string& out) {
        Entry head;
        HRESULT hr = S_OK;
        if (!forest_->ReadEntry(Root().First(context), head, hr)) return Fail(HR_NO_SUCH_DOMAIN);
        out = Utf8ToWide(head.First("fSMORoleOwner"));
        return S_OK;
    }
    std::shared_ptr<Forest> forest_;
};

class StoreAdsi : public AdsiPlatform {
  public:
    explicit StoreAdsi(std::shared_ptr<store::DirectoryStore> directory)
        : forest_(std::make_shared<Forest>(std::move(directory))) {}

    HRESULT GetObject(const std::u16string& text, const IID& iid,
                      std::shared_ptr<IUnknown>& out) override {
        out.reset();
        std::shared_ptr<IUnknown> object;
        if (text == u"ADs:") {
            object = std::make_shared<Namespaces>(
                forest_, forest_->RootDse().First("kestruneLocalUserName"));
            return Query(object, iid, out);
        }
        Path path;
        if (!ParsePath(text, path))
            return Fail(E_ADS_BAD_PATHNAME, "An invalid directory pathname was passed");
        if (auto cls = SchemaClassName(path)) return BindSchemaClass(text, *cls, iid, out);
        if (!path.server.empty() && !forest_->KnowsServer(path.server))
            return Fail(HR_SERVER_NOT_OPERATIONAL);
        Entry entry;
        if (path.dn.empty() && path.provider == u"LDAP")
            path.dn = forest_->RootDse().First("defaultNamingContext");
        if (path.dn.empty() && path.provider == u"GC") {
            // The global catalog's root: the forest root domain, searched across the forest.
            entry.dn = forest_->RootDse().First("rootDomainNamingContext");
        } else {
            HRESULT hr = S_OK;
            if (store::NormalizeDn(path.dn).empty())
                return Fail(E_ADS_BAD_PATHNAME, "An invalid directory pathname was passed");
            if (!forest_->ReadEntry(path.dn, entry, hr)) return hr;
        }
        if (path.provider == u"GC") path.dn = entry.dn;
        object = std::make_shared<StoreObject>(forest_, path, std::move(entry));
        return Query(object, iid, out);
    }

    HRESULT CreateInstance(const CLSID& clsid, const IID& iid,
                           std::shared_ptr<IUnknown>& out) override {
        out.reset();
        if (!(clsid == CLSID_ADSystemInfo)) return Fail(REGDB_E_CLASSNOTREG);
        return Query(std::make_shared<SystemInfo>(forest_), iid, out);
    }

  private:
    // LDAP://schema/<class> or LDAP://server/schema/<class>.
    static std::optional<std::string> SchemaClassName(const Path& path) {
        if (store::FoldCase(WideToUtf8(path.server)) == "schema" &&
            path.dn.find('=') == std::string::npos)
            return path.dn;
        if (store::FoldCase(path.dn.substr(0, 7)) == "schema/") return path.dn.substr(7);
        return std::nullopt;
    }

    HRESULT BindSchemaClass(const std::u16string& text, const std::string& name, const IID& iid,
                            std::shared_ptr<IUnknown>& out) {
        std::vector<Entry> found;
        store::Status status = store::SearchAll(
            forest_->Directory(),
            {forest_->RootDse().First("schemaNamingContext"),
             Scope::Subtree,
             "(&(objectClass=classSchema)(lDAPDisplayName=" + store::EscapeFilterValue(name) + "))",
             {},
             0},
            found);
        if (!status.ok()) return FromStore(status);
        if (found.empty()) return Fail(HR_NO_SUCH_OBJECT);
        return Query(std::make_shared<SchemaClass>(text, std::move(found.front())), iid, out);
    }

    static HRESULT Query(const std::shared_ptr<IUnknown>& object, const IID& iid,
                         std::shared_ptr<IUnknown>& out) {
        return object->QueryInterface(iid, out);
    }

    std::shared_ptr<Forest> forest_;
};

} // namespace

std::shared_ptr<AdsiPlatform> MakeStoreAdsi(std::shared_ptr<store::DirectoryStore> directory) {
    return std::make_shared<StoreAdsi>(std::move(directory));
}

} // namespace kestrune
