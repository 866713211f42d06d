// Collections handed out item by item: enumerators and member collections.
#pragma once

#include "adsi/adsi.h"

#include <vector>

namespace kestrune::adsi_store {

class VariantEnum : public adsi::IEnumVARIANT {
  public:
    explicit VariantEnum(std::vector<adsi::Variant> items) : items_(std::move(items)) {}
    adsi::HRESULT QueryInterface(const adsi::IID& iid,
                                 std::shared_ptr<adsi::IUnknown>& out) override {
        return adsi::AnswerQuery<adsi::IEnumVARIANT>(*this, iid, out);
    }
    adsi::HRESULT Next(uint32_t count, std::vector<adsi::Variant>& items) override {
        items.clear();
        while (items.size() < count && next_ < items_.size())
            items.push_back(items_[next_++]);
        return items.size() == count ? adsi::S_OK : adsi::S_FALSE;
    }

  private:
    std::vector<adsi::Variant> items_;
    size_t next_ = 0;
};

// A collection of directory objects (a group's members, a user's groups).
class MemberCollection : public adsi::IADsMembers {
  public:
    explicit MemberCollection(std::vector<adsi::Variant> items) : items_(std::move(items)) {}
    adsi::HRESULT QueryInterface(const adsi::IID& iid,
                                 std::shared_ptr<adsi::IUnknown>& out) override {
        return adsi::AnswerQuery<adsi::IADsMembers>(*this, iid, out);
    }
    adsi::HRESULT get__NewEnum(std::shared_ptr<adsi::IEnumVARIANT>& out) override {
        out = std::make_shared<VariantEnum>(items_);
        return adsi::S_OK;
    }

  private:
    std::vector<adsi::Variant> items_;
};

} // namespace kestrune::adsi_store
