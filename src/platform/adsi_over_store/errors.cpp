#include "platform/adsi_over_store/errors.h"

#include "base/last_error.h"
#include "base/message_table.h"
#include "platform/store/win32_error_of_result.h"

namespace kestrune::adsi_store {
namespace {

class TextErrorInfo : public adsi::IErrorInfo {
  public:
    explicit TextErrorInfo(std::u16string text) : text_(std::move(text)) {}
    std::u16string Description() const override { return text_; }

  private:
    std::u16string text_;
};

} // namespace

adsi::HRESULT Fail(adsi::HRESULT hr, const std::string& description) {
    SetLastError(adsi::Win32Code(hr));
    std::string text = description;
    if (text.empty()) text = SystemMessageText(static_cast<uint32_t>(hr));
    adsi::SetErrorInfo(text.empty() ? nullptr : std::make_shared<TextErrorInfo>(Utf8ToWide(text)));
    return hr;
}

adsi::HRESULT AdsiResultOf(const store::Status& status) {
    if (status.ok()) return adsi::S_OK;
    // The simulated domain's file could not be written: a local failure, not the server's.
    if (status.code == store::ResultCode::Unavailable && status.systemError != 0)
        return adsi::HR_SERVER_NOT_OPERATIONAL;
    return adsi::H(0x80070000u | store::Win32ErrorOf(status.code));
}

adsi::HRESULT BadPath() {
    return Fail(adsi::E_ADS_BAD_PATHNAME, "An invalid directory pathname was passed");
}

adsi::HRESULT FailFromStore(const store::Status& status) {
    using store::ResultCode;
    switch (status.code) {
    case ResultCode::NoSuchObject:
        return Fail(adsi::HR_NO_SUCH_OBJECT);
    case ResultCode::InvalidDnSyntax:
        return BadPath();
    case ResultCode::FilterError:
        return Fail(adsi::E_ADS_INVALID_FILTER, status.message);
    case ResultCode::InsufficientAccessRights:
        return Fail(adsi::E_ACCESSDENIED);
    case ResultCode::EntryAlreadyExists:
        return Fail(adsi::HR_ALREADY_EXISTS);
    case ResultCode::NotAllowedOnNonLeaf:
        return Fail(adsi::HR_NOT_ALLOWED_ON_NON_LEAF);
    case ResultCode::Unavailable:
        // The simulated domain's file could not be written; a server's own "unavailable"
        // has a text of its own.
        if (status.systemError != 0) return Fail(adsi::HR_SERVER_NOT_OPERATIONAL, status.message);
        return Fail(AdsiResultOf(status));
    case ResultCode::NamingViolation:
        return Fail(adsi::HR_ILLEGAL_SUPERIOR, status.message);
    case ResultCode::ObjectClassViolation:
        return Fail(adsi::HR_OBJECT_CLASS_VIOLATION, status.message);
    case ResultCode::SizeLimitExceeded:
        return Fail(adsi::HR_SIZE_LIMIT_EXCEEDED, status.message);
    case ResultCode::Other:
        return Fail(adsi::E_FAIL, status.message);
    default: {
        // The system's text for the directory error; the server's own words when it has none.
        adsi::HRESULT hr = AdsiResultOf(status);
        return Fail(hr, FormatSystemMessage(static_cast<uint32_t>(hr)).empty() ? status.message
                                                                               : std::string());
    }
    }
}

} // namespace kestrune::adsi_store
