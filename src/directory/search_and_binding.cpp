// Paged directory searches and binding by path.
#include "adsi/adsi_path.h"
#include "base/last_error.h"
#include "directory/ole_error.h"
#include "directory/stop_event.h"
#include "directory/tntads.h"

namespace kestrune {
namespace {

// Closes the search handle when the walk ends, however it ends.
class SearchHandle {
  public:
    SearchHandle(adsi::IDirectorySearch& search, adsi::ADS_SEARCH_HANDLE handle)
        : search_(search), handle_(handle) {}
    ~SearchHandle() {
        if (handle_) search_.CloseSearchHandle(handle_);
    }
    SearchHandle(const SearchHandle&) = delete;
    SearchHandle& operator=(const SearchHandle&) = delete;

  private:
    adsi::IDirectorySearch& search_;
    adsi::ADS_SEARCH_HANDLE handle_;
};

// Frees a fetched column however the row's handling ends.
class FetchedColumn {
  public:
    explicit FetchedColumn(adsi::IDirectorySearch& search) : search_(search) {}
    ~FetchedColumn() {
        if (fetched) search_.FreeColumn(&value);
    }
    FetchedColumn(const FetchedColumn&) = delete;
    FetchedColumn& operator=(const FetchedColumn&) = delete;

    adsi::ADS_SEARCH_COLUMN value;
    bool fetched = false;

  private:
    adsi::IDirectorySearch& search_;
};

// The filter as the platform receives it: through the ANSI code page.
WideString ThroughAnsi(const WideString& text) {
    return AnsiToWide(WideToAnsi(text));
}

} // namespace

bool TNTADS::ExecuteSearch(TStringList& list) {
    if (OnSearchStart) OnSearchStart(this);
    std::shared_ptr<adsi::IUnknown> bound;
    std::shared_ptr<adsi::IDirectorySearch> search;
    if (adsi::SUCCEEDED(adsi::ADsGetObject(FSearchPath, adsi::IDirectorySearch::IID_, bound)) &&
        bound)
        adsi::QueryInterface(*bound, search);
    if (!search) {
        if (OnSearchStop) OnSearchStop(this);
        return false;
    }
    adsi::ADS_SEARCHPREF_INFO preferences[2] = {
        {adsi::ADS_SEARCHPREF_PAGESIZE, adsi::ADSTYPE_INTEGER, FRowCount},
        {adsi::ADS_SEARCHPREF_SEARCH_SCOPE, adsi::ADSTYPE_INTEGER,
         FSubs ? adsi::ADS_SCOPE_SUBTREE : adsi::ADS_SCOPE_ONELEVEL},
    };
    if (search->SetSearchPreference(preferences, 2) != adsi::S_OK) {
        if (OnSearchStop) OnSearchStop(this);
        return false;
    }

    WideString filter;
    if (!FObjectCatagory.empty() && !FFilter.empty())
        filter = u"(&(objectCategory=" + FObjectCatagory + u")(" + FFilter + u"))";
    else if (!FObjectCatagory.empty())
        filter = u"(objectCategory=" + FObjectCatagory + u")";
    else if (!FFilter.empty())
        filter = u"(" + FFilter + u")";
    filter = ThroughAnsi(filter);
    const WideString column = u"distinguishedName";

    adsi::ADS_SEARCH_HANDLE handle = nullptr;
    search->ExecuteSearch(filter.empty() ? nullptr : filter.c_str(), {column}, &handle);
    RunThenStop(
        [&] {
            SearchHandle closer(*search, handle);
            if (!handle) return true; // the search failed to start: no rows
            int64_t count = 0;
            for (adsi::HRESULT row = search->GetFirstRow(handle); row == adsi::S_OK;
                 row = search->GetNextRow(handle)) {
                FetchedColumn value(*search);
                value.fetched = adsi::SUCCEEDED(search->GetColumn(handle, column, &value.value));
                if (!value.fetched || value.value.values.empty()) continue;
                ++count;
                AnsiString dn = WideToAnsi(value.value.values.front());
                list.Add(dn);
                if (OnSearch) {
                    AnsiString cls = GetClass(dn);
                    OnSearch(this, dn, cls, count);
                }
            }
            return true;
        },
        [&] {
            if (OnSearchStop) OnSearchStop(this);
        });
    return true;
}

void TNTADS::VBOpenObject(const AnsiString& path, std::shared_ptr<adsi::IDispatch>& object) {
    object.reset();
    std::shared_ptr<adsi::IBindCtx> context;
    adsi::HRESULT hr = adsi::CreateBindCtx(0, context);
    if (adsi::FAILED(hr)) throw EOleError(OleSystemText(hr), hr);
    std::shared_ptr<adsi::IMoniker> moniker;
    uint32_t eaten = 0;
    hr = adsi::MkParseDisplayName(context.get(), AnsiToWide(path), &eaten, moniker);
    if (adsi::FAILED(hr)) throw EOleError(OleSystemText(hr), hr);
    std::shared_ptr<adsi::IUnknown> bound;
    hr = moniker->BindToObject(context.get(), nullptr, adsi::IID_IDispatch, bound);
    if (adsi::FAILED(hr) || !bound) throw EOleError(OleSystemText(hr), hr);
    object = std::dynamic_pointer_cast<adsi::IDispatch>(bound);
}

AnsiString TNTADS::GetClass2(const AnsiString& path) {
    std::shared_ptr<adsi::IDispatch> object;
    VBOpenObject(path, object);
    std::shared_ptr<adsi::IADs> ads = Supports<adsi::IADs>(*object);
    std::u16string cls;
    OleCheck(ads->get_Class(cls));
    return WideToAnsi(cls);
}

AnsiString TNTADS::GetClass(const AnsiString& path) {
    // The path is a DN; behind a provider its "/" are escaped.
    return GetClass2(FProvider + adsi::EscapePathDn(path));
}

bool TNTADS::ObjectExists(const AnsiString& path) {
    FLastError = 0;
    FLastMessage.clear();
    try {
        std::shared_ptr<adsi::IDispatch> object;
        VBOpenObject(
            path.find(FProvider) != AnsiString::npos ? path : FProvider + adsi::EscapePathDn(path),
            object);
        return Supports<adsi::IADs>(*object) != nullptr;
    } catch (const std::exception& e) {
        FLastMessage = AnsiToWide(e.what());
        FLastError = kestrune::GetLastError();
        return false;
    }
}

} // namespace kestrune
