// Failing directory calls as exceptions, with the texts the component reports.
#pragma once

#include "adsi/adsi.h"
#include "base/ansi_string.h"

#include <stdexcept>

namespace kestrune {

class EOleError : public std::runtime_error {
  public:
    EOleError(const AnsiString& message, adsi::HRESULT code)
        : std::runtime_error(message), code_(code) {}
    adsi::HRESULT ErrorCode() const { return code_; }

  private:
    adsi::HRESULT code_;
};

// The text of a failed call: the failing object's error information, else the system's
// message for the code, else "OLE error %.8x"; trailing blanks, control characters and full
// stops removed.
AnsiString OleErrorText(adsi::HRESULT hr);
// The system's message for the code (same trimming), or "OLE error %.8x".
AnsiString OleSystemText(adsi::HRESULT hr);

// Throws EOleError when hr is a failure.
void OleCheck(adsi::HRESULT hr);
// A failed creation: "<text>, ClassID: {...}".
[[noreturn]] void ThrowCreateError(adsi::HRESULT hr, const adsi::CLSID& clsid);

// The object seen as T; EOleError("Interface not supported") when it lacks it.
template <typename T> std::shared_ptr<T> Supports(adsi::IUnknown& object) {
    std::shared_ptr<T> out;
    if (adsi::FAILED(adsi::QueryInterface(object, out)) || !out)
        throw EOleError("Interface not supported", adsi::E_NOINTERFACE);
    return out;
}

} // namespace kestrune
