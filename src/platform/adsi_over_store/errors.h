// How the directory platform over a store reports a failure: a result code, the thread's last
// error and error information with a text, as ADSI leaves them.
#pragma once

#include "adsi/adsi.h"
#include "platform/store/directory_store.h"

#include <string>

namespace kestrune::adsi_store {

adsi::HRESULT Fail(adsi::HRESULT hr, const std::string& description = std::string());
// E_ADS_BAD_PATHNAME with its text.
adsi::HRESULT BadPath();
// The HRESULT ADSI returns for a store's failure (HRESULT_FROM_WIN32 of the directory error),
// without reporting it.
adsi::HRESULT AdsiResultOf(const store::Status& status);
// The ADSI code of a store's failure, reported with its text.
adsi::HRESULT FailFromStore(const store::Status& status);
// A text property's answer.
inline adsi::HRESULT Set(std::u16string& out, std::u16string value) {
    out = std::move(value);
    return adsi::S_OK;
}

} // namespace kestrune::adsi_store
