// One directory object bound by path: IADs, a user's groups, a group's members, a container's
// children, moves and deletes, and searches below it.
#pragma once

#include "adsi/adsi.h"
#include "platform/adsi_over_store/forest.h"
#include "platform/adsi_over_store/provider_paths.h"

namespace kestrune::adsi_store {

class StoreObject : public adsi::IADsUser,
                    public adsi::IADsGroup,
                    public adsi::IADsContainer,
                    public adsi::IDirectorySearch {
  public:
    StoreObject(std::shared_ptr<Forest> forest, Path path, store::Entry entry)
        : forest_(std::move(forest)), path_(std::move(path)), entry_(std::move(entry)) {}

    adsi::HRESULT QueryInterface(const adsi::IID& iid,
                                 std::shared_ptr<adsi::IUnknown>& out) override;

    // IADs
    adsi::HRESULT get_Name(std::u16string& out) override;
    adsi::HRESULT get_Class(std::u16string& out) override;
    adsi::HRESULT get_GUID(std::u16string& out) override;
    adsi::HRESULT get_ADsPath(std::u16string& out) override;
    adsi::HRESULT get_Parent(std::u16string& out) override;
    adsi::HRESULT get_Schema(std::u16string& out) override;
    adsi::HRESULT Get(const std::u16string& name, adsi::Variant& out) override;
    adsi::HRESULT GetInfo() override;

    // IADsUser, IADsGroup
    adsi::HRESULT Groups(std::shared_ptr<adsi::IADsMembers>& out) override;
    adsi::HRESULT Members(std::shared_ptr<adsi::IADsMembers>& out) override;

    // IADsContainer
    adsi::HRESULT get__NewEnum(std::shared_ptr<adsi::IEnumVARIANT>& out) override;
    adsi::HRESULT Delete(const std::u16string& className,
                         const std::u16string& relativeName) override;
    adsi::HRESULT MoveHere(const std::u16string& sourcePath, const std::u16string& newName,
                           std::shared_ptr<adsi::IDispatch>& out) override;

    // IDirectorySearch (store_search.cpp)
    adsi::HRESULT SetSearchPreference(adsi::ADS_SEARCHPREF_INFO* prefs, uint32_t count) override;
    adsi::HRESULT ExecuteSearch(const char16_t* filter,
                                const std::vector<std::u16string>& attributes,
                                adsi::ADS_SEARCH_HANDLE* handle) override;
    adsi::HRESULT GetFirstRow(adsi::ADS_SEARCH_HANDLE handle) override;
    adsi::HRESULT GetNextRow(adsi::ADS_SEARCH_HANDLE handle) override;
    adsi::HRESULT GetColumn(adsi::ADS_SEARCH_HANDLE handle, const std::u16string& name,
                            adsi::ADS_SEARCH_COLUMN* column) override;
    adsi::HRESULT FreeColumn(adsi::ADS_SEARCH_COLUMN* column) override;
    adsi::HRESULT CloseSearchHandle(adsi::ADS_SEARCH_HANDLE handle) override;

  private:
    bool IsA(std::string_view cls) const;
    // Entries as bound objects of the same provider and server.
    std::vector<adsi::Variant> Objects(std::vector<store::Entry> entries) const;

    std::shared_ptr<Forest> forest_;
    Path path_;
    store::Entry entry_;
    size_t pageSize_ = 0;
    adsi::ADS_SCOPE scope_ = adsi::ADS_SCOPE_SUBTREE;
};

} // namespace kestrune::adsi_store
