// Searches below a bound object (IDirectorySearch), paged as the preferences ask.
#include "base/ansi_string.h"
#include "platform/adsi_over_store/errors.h"
#include "platform/adsi_over_store/store_object.h"
#include "platform/store/dn.h"

namespace kestrune::adsi_store {

using namespace adsi;
using store::Entry;
using store::Scope;

namespace {

struct SearchState {
    std::unique_ptr<store::SearchCursor> cursor;
    std::vector<Entry> page;
    size_t row = 0;
    bool started = false;
    bool done = false;
    bool limited = false; // ended by the size limit
};

} // namespace

HRESULT StoreObject::SetSearchPreference(ADS_SEARCHPREF_INFO* prefs, uint32_t count) {
    if (!prefs && count) return Fail(E_POINTER);
    bool allAccepted = true;
    for (uint32_t i = 0; i < count; ++i) {
        ADS_SEARCHPREF_INFO& p = prefs[i];
        p.dwStatus = ADS_STATUS_S_OK;
        if (p.dwSearchPref == ADS_SEARCHPREF_PAGESIZE && p.dwType == ADSTYPE_INTEGER &&
            p.Integer >= 0) {
            pageSize_ = static_cast<size_t>(p.Integer);
        } else if (p.dwSearchPref == ADS_SEARCHPREF_SEARCH_SCOPE && p.dwType == ADSTYPE_INTEGER &&
                   p.Integer >= ADS_SCOPE_BASE && p.Integer <= ADS_SCOPE_SUBTREE) {
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

HRESULT StoreObject::ExecuteSearch(const char16_t* filter,
                                   const std::vector<std::u16string>& attributes,
                                   ADS_SEARCH_HANDLE* handle) {
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
    // Over LDAP a search stays in the naming context it starts in; the global catalog sees
    // the whole forest.
    request.wholeForest = path_.provider == u"GC";
    auto state = std::make_unique<SearchState>();
    store::Status status = forest_->Directory().Search(request, state->cursor);
    if (!status.ok()) return FailFromStore(status);
    *handle = state.release();
    return S_OK;
}

HRESULT StoreObject::GetFirstRow(ADS_SEARCH_HANDLE handle) {
    return GetNextRow(handle);
}

HRESULT StoreObject::GetNextRow(ADS_SEARCH_HANDLE handle) {
    auto* state = static_cast<SearchState*>(handle);
    if (!state) return Fail(E_INVALIDARG);
    if (state->started) ++state->row;
    state->started = true;
    while (state->row >= state->page.size()) {
        if (state->done) {
            // An unpaged search that reached the server's size limit leaves that as the
            // reason its rows ended.
            if (state->limited) Fail(HR_SIZE_LIMIT_EXCEEDED);
            return S_ADS_NOMORE_ROWS;
        }
        store::Status status = state->cursor->NextPage(state->page);
        state->row = 0;
        if (status.code == store::ResultCode::SizeLimitExceeded) {
            state->done = state->limited = true; // the rows of this page are the last
            continue;
        }
        if (!status.ok()) return FailFromStore(status);
        if (state->page.empty()) state->done = true;
    }
    return S_OK;
}

HRESULT StoreObject::GetColumn(ADS_SEARCH_HANDLE handle, const std::u16string& name,
                               ADS_SEARCH_COLUMN* column) {
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

HRESULT StoreObject::FreeColumn(ADS_SEARCH_COLUMN* column) {
    if (!column) return Fail(E_INVALIDARG);
    column->values.clear();
    return S_OK;
}

HRESULT StoreObject::CloseSearchHandle(ADS_SEARCH_HANDLE handle) {
    delete static_cast<SearchState*>(handle);
    return S_OK;
}

} // namespace kestrune::adsi_store
