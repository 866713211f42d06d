#include "platform/adsi_over_store/values.h"

#include "base/ansi_string.h"
#include "platform/adsi_over_store/ole_date.h"
#include "platform/store/dn.h"

#include <cstdlib>

namespace kestrune::adsi_store {
namespace {

using namespace adsi;

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

} // namespace

Variant ValueOf(store::AttributeSyntax syntax, const std::string& raw) {
    using S = store::AttributeSyntax;
    switch (syntax) {
    case S::Integer:
        return Variant::Int(static_cast<int32_t>(std::strtoll(raw.c_str(), nullptr, 10)));
    case S::Boolean:
        return Variant::Bool(store::FoldCase(raw) == "true");
    case S::LargeInteger:
        return Variant::Dispatch(
            std::make_shared<LargeInteger>(std::strtoll(raw.c_str(), nullptr, 10)));
    case S::OctetString: {
        std::vector<Variant> bytes;
        bytes.reserve(raw.size());
        for (unsigned char c : raw)
            bytes.push_back({VT_UI1, int64_t(c)});
        Variant v = Variant::Array(std::move(bytes));
        v.vt = VT_ARRAY | VT_UI1;
        return v;
    }
    case S::SecurityDescriptor:
        return Variant::Dispatch(std::make_shared<SecurityDescriptor>());
    case S::GeneralizedTime:
        return Variant::Date(OleDateFromGeneralizedTime(raw));
    default:
        return Variant::String(Utf8ToWide(raw));
    }
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

} // namespace kestrune::adsi_store
