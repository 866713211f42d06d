// COM's value types (BSTR, VARIANT with SAFEARRAY, ADSVALUE) as the directory platform's.
//
// Include this header after every other project header: the SDK it pulls in defines S_OK,
// FAILED, GetObject and more as macros.
#pragma once

#include "adsi/adsi.h"

#include "base/windows_sdk.h"
#include <ole2.h> // WIN32_LEAN_AND_MEAN leaves it out; iads.h needs it first

#include <iads.h>

namespace kestrune::win32 {

GUID ToGuid(const adsi::GUID& id);

std::u16string FromBstr(BSTR text);
// A BSTR that the caller releases with SysFreeString.
BSTR ToBstr(const std::u16string& text);

// A COM object as a directory platform object, with a reference of its own (the caller keeps
// its own reference). Null stays null.
std::shared_ptr<adsi::IUnknown> WrapComObject(::IUnknown* object);

// The variant's value; interfaces inside are wrapped, arrays copied element by element. A
// variant held by reference is read through.
adsi::Variant FromVariant(const VARIANT& value);

// A search column value as text: strings as they are, numbers in decimal, Booleans as TRUE or
// FALSE, times as generalized time (YYYYMMDDHHMMSS.0Z), octet strings one character per byte.
std::u16string FromAdsValue(const ADSVALUE& value);

} // namespace kestrune::win32
