// The directory platform over ADSI itself: COM objects of activeds adapted to the platform's
// interfaces (BSTR, VARIANT, SAFEARRAY and search columns converted to its types).
#pragma once

#include "adsi/adsi.h"

namespace kestrune::win32 {

// The COM entry points the platform calls, with GUIDs passed by address; tests put scripted
// objects in their place.
struct ComEntryPoints {
    // ADsGetObject(path, iid, object).
    adsi::HRESULT (*getObject)(const wchar_t* path, const void* iid, void** object);
    // CoCreateInstance(clsid, no outer object, in-process or local server, iid, object).
    adsi::HRESULT (*createInstance)(const void* clsid, const void* iid, void** object);
};

// ADsGetObject and CoCreateInstance of the system.
ComEntryPoints SystemComEntryPoints();

// Starts COM for the calling thread (single-threaded apartment) and returns the platform.
// Every object it hands out holds one COM reference, released with the last holder; a failing
// call leaves the object's error description for GetErrorInfo and its code as the last error.
std::shared_ptr<adsi::AdsiPlatform>
MakeComAdsi(const ComEntryPoints& entry = SystemComEntryPoints());

} // namespace kestrune::win32
