// A scripted directory platform for the component's failure paths: every path binds one
// object that is a searchable container; its rows and children are set by the test, and it
// counts the columns it hands out and takes back.
#pragma once

#include "adsi/adsi.h"

#include <memory>
#include <string>
#include <vector>

namespace kestrune::testing {

// A child that answers its name and class; the name fails when asked to.
class ScriptedChild : public adsi::IADs {
  public:
    ScriptedChild(std::u16string name, bool nameFails)
        : name_(std::move(name)), fails_(nameFails) {}
    adsi::HRESULT QueryInterface(const adsi::IID& iid,
                                 std::shared_ptr<adsi::IUnknown>& out) override {
        return adsi::AnswerQuery<adsi::IADs>(*this, iid, out);
    }
    adsi::HRESULT get_Name(std::u16string& out) override { return Text(out, name_); }
    adsi::HRESULT get_Class(std::u16string& out) override { return Text(out, u"user"); }
    adsi::HRESULT get_GUID(std::u16string& out) override { return Text(out, u"00"); }
    adsi::HRESULT get_ADsPath(std::u16string& out) override {
        return Text(out, u"LDAP://" + name_);
    }
    adsi::HRESULT get_Parent(std::u16string& out) override { return Text(out, u"LDAP://x"); }
    adsi::HRESULT get_Schema(std::u16string& out) override { return Text(out, u""); }
    adsi::HRESULT Get(const std::u16string&, adsi::Variant&) override { return adsi::E_FAIL; }
    adsi::HRESULT GetInfo() override { return adsi::S_OK; }

  private:
    adsi::HRESULT Text(std::u16string& out, const std::u16string& value) {
        if (fails_) return adsi::E_FAIL;
        out = value;
        return adsi::S_OK;
    }
    std::u16string name_;
    bool fails_;
};

class ScriptedObject : public adsi::IADsContainer, public adsi::IDirectorySearch {
  public:
    // Rows of a search: each the values of its distinguishedName column (none: an empty column).
    std::vector<std::vector<std::u16string>> rows;
    // Children of the container; a name that ends in "!" fails to read.
    std::vector<std::u16string> children;
    int columnsGiven = 0;
    int columnsFreed = 0;
    int handlesClosed = 0;

    adsi::HRESULT QueryInterface(const adsi::IID& iid,
                                 std::shared_ptr<adsi::IUnknown>& out) override {
        return adsi::AnswerQuery<adsi::IADsContainer, adsi::IDirectorySearch>(*this, iid, out);
    }
    adsi::HRESULT get__NewEnum(std::shared_ptr<adsi::IEnumVARIANT>& out) override {
        out = std::make_shared<Items>(children);
        return adsi::S_OK;
    }
    adsi::HRESULT Delete(const std::u16string&, const std::u16string&) override {
        return adsi::E_NOTIMPL;
    }
    adsi::HRESULT MoveHere(const std::u16string&, const std::u16string&,
                           std::shared_ptr<adsi::IDispatch>&) override {
        return adsi::E_NOTIMPL;
    }
    adsi::HRESULT SetSearchPreference(adsi::ADS_SEARCHPREF_INFO*, uint32_t) override {
        return adsi::S_OK;
    }
    adsi::HRESULT ExecuteSearch(const char16_t*, const std::vector<std::u16string>&,
                                adsi::ADS_SEARCH_HANDLE* handle) override {
        row_ = -1;
        *handle = this;
        return adsi::S_OK;
    }
    adsi::HRESULT GetFirstRow(adsi::ADS_SEARCH_HANDLE handle) override {
        return GetNextRow(handle);
    }
    adsi::HRESULT GetNextRow(adsi::ADS_SEARCH_HANDLE) override {
        return ++row_ < static_cast<int>(rows.size()) ? adsi::S_OK : adsi::S_ADS_NOMORE_ROWS;
    }
    adsi::HRESULT GetColumn(adsi::ADS_SEARCH_HANDLE, const std::u16string& name,
                            adsi::ADS_SEARCH_COLUMN* column) override {
        ++columnsGiven;
        column->pszAttrName = name;
        column->values = rows.at(row_);
        return adsi::S_OK;
    }
    adsi::HRESULT FreeColumn(adsi::ADS_SEARCH_COLUMN* column) override {
        ++columnsFreed;
        column->values.clear();
        return adsi::S_OK;
    }
    adsi::HRESULT CloseSearchHandle(adsi::ADS_SEARCH_HANDLE) override {
        ++handlesClosed;
        return adsi::S_OK;
    }

  private:
    class Items : public adsi::IEnumVARIANT {
      public:
        explicit Items(std::vector<std::u16string> names) : names_(std::move(names)) {}
        adsi::HRESULT QueryInterface(const adsi::IID& iid,
                                     std::shared_ptr<adsi::IUnknown>& out) override {
            return adsi::AnswerQuery<adsi::IEnumVARIANT>(*this, iid, out);
        }
        adsi::HRESULT Next(uint32_t, std::vector<adsi::Variant>& items) override {
            items.clear();
            if (next_ >= names_.size()) return adsi::S_FALSE;
            const std::u16string& name = names_[next_++];
            bool fails = !name.empty() && name.back() == u'!';
            items.push_back(adsi::Variant::Dispatch(std::make_shared<ScriptedChild>(name, fails)));
            return adsi::S_OK;
        }

      private:
        std::vector<std::u16string> names_;
        size_t next_ = 0;
    };
    int row_ = -1;
};

// Binds every path to the one scripted object.
class ScriptedAdsi : public adsi::AdsiPlatform {
  public:
    std::shared_ptr<ScriptedObject> object = std::make_shared<ScriptedObject>();
    adsi::HRESULT GetObject(const std::u16string&, const adsi::IID& iid,
                            std::shared_ptr<adsi::IUnknown>& out) override {
        return object->QueryInterface(iid, out);
    }
    adsi::HRESULT CreateInstance(const adsi::CLSID&, const adsi::IID&,
                                 std::shared_ptr<adsi::IUnknown>& out) override {
        out.reset();
        return adsi::REGDB_E_CLASSNOTREG;
    }
};

} // namespace kestrune::testing
