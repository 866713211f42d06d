#include "platform/win32/com_values.h"

#include <cstdio>
#include <cstring>

namespace kestrune::win32 {
namespace {

std::u16string Text(const wchar_t* text) {
    return text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}

std::u16string Ascii(const char* text) {
    return std::u16string(text, text + std::strlen(text));
}

std::u16string Bytes(const BYTE* bytes, DWORD length) {
    return bytes ? std::u16string(bytes, bytes + length) : std::u16string();
}

std::u16string Hex(const BYTE* bytes, DWORD length) {
    std::u16string out;
    for (DWORD i = 0; bytes && i < length; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        out += Ascii(pair);
    }
    return out;
}

adsi::Variant Scalar(VARTYPE type, const void* data);

// One element of a one-dimensional array, read by its type.
adsi::Variant Element(SAFEARRAY* array, VARTYPE type, LONG index) {
    if (type == VT_VARIANT) {
        VARIANT element;
        VariantInit(&element);
        if (FAILED(SafeArrayGetElement(array, &index, &element))) return {};
        adsi::Variant out = FromVariant(element);
        VariantClear(&element);
        return out;
    }
    if (type == VT_BSTR) {
        BSTR element = nullptr;
        if (FAILED(SafeArrayGetElement(array, &index, &element))) return {};
        adsi::Variant out = adsi::Variant::String(FromBstr(element));
        SysFreeString(element);
        return out;
    }
    if (type == VT_DISPATCH || type == VT_UNKNOWN) {
        ::IUnknown* element = nullptr;
        if (FAILED(SafeArrayGetElement(array, &index, &element))) return {};
        adsi::Variant out{type, WrapComObject(element)};
        if (element) element->Release();
        return out;
    }
    alignas(8) unsigned char data[16] = {};
    if (SafeArrayGetElemsize(array) > sizeof data ||
        FAILED(SafeArrayGetElement(array, &index, data)))
        return {};
    return Scalar(type, data);
}

adsi::Variant Array(VARTYPE type, SAFEARRAY* array) {
    auto copy = std::make_shared<adsi::SafeArray>();
    LONG lower = 0, upper = -1;
    if (array && SafeArrayGetDim(array) == 1 && SUCCEEDED(SafeArrayGetLBound(array, 1, &lower)) &&
        SUCCEEDED(SafeArrayGetUBound(array, 1, &upper))) {
        copy->lowerBound = lower;
        for (LONG i = lower; i <= upper; ++i)
            copy->elements.push_back(Element(array, type, i));
    }
    return {static_cast<uint16_t>(VT_ARRAY | type), std::move(copy)};
}

// Numbers, Booleans and dates stored at data as type lays them out.
adsi::Variant Scalar(VARTYPE type, const void* data) {
    auto read = [data](auto sample) {
        decltype(sample) value;
        std::memcpy(&value, data, sizeof value);
        return value;
    };
    switch (type) {
    case VT_I1:
        return {type, int64_t(read(char()))};
    case VT_UI1:
        return {type, int64_t(read(BYTE()))};
    case VT_I2:
        return {type, int64_t(read(SHORT()))};
    case VT_UI2:
        return {type, int64_t(read(USHORT()))};
    case VT_I4:
    case VT_INT:
        return {VT_I4, int64_t(read(LONG()))};
    case VT_UI4:
    case VT_UINT:
        return {VT_UI4, int64_t(read(ULONG()))};
    case VT_ERROR:
        return {type, int64_t(read(SCODE()))};
    case VT_I8:
        return {type, int64_t(read(LONGLONG()))};
    case VT_UI8:
        return {type, int64_t(read(ULONGLONG()))};
    case VT_BOOL:
        return adsi::Variant::Bool(read(VARIANT_BOOL()) != VARIANT_FALSE);
    case VT_R4:
        return {type, double(read(FLOAT()))};
    case VT_R8:
        return {type, read(DOUBLE())};
    case VT_DATE:
        return adsi::Variant::Date(read(DATE()));
    case VT_CY:
        return {type, double(read(CY()).int64) / 10000.0};
    default:
        return {};
    }
}

} // namespace

GUID ToGuid(const adsi::GUID& id) {
    // The project keeps GUIDs in the byte order Windows stores them in.
    GUID guid;
    static_assert(sizeof guid == sizeof id.bytes);
    std::memcpy(&guid, id.bytes.data(), sizeof guid);
    return guid;
}

std::u16string FromBstr(BSTR text) {
    return text ? std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text))
                : std::u16string();
}

BSTR ToBstr(const std::u16string& text) {
    return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                             static_cast<UINT>(text.size()));
}

adsi::Variant FromVariant(const VARIANT& value) {
    VARTYPE type = V_VT(&value);
    if (type == (VT_BYREF | VT_VARIANT))
        return V_VARIANTREF(&value) ? FromVariant(*V_VARIANTREF(&value)) : adsi::Variant{};
    if (type & VT_ARRAY)
        return Array(type & VT_TYPEMASK, (type & VT_BYREF)
                                             ? (V_ARRAYREF(&value) ? *V_ARRAYREF(&value) : nullptr)
                                             : V_ARRAY(&value));
    if (type & VT_BYREF) return Scalar(type & VT_TYPEMASK, V_BYREF(&value));
    switch (type) {
    case VT_EMPTY:
    case VT_NULL:
        return {type, std::monostate{}};
    case VT_BSTR:
        return adsi::Variant::String(FromBstr(V_BSTR(&value)));
    case VT_DISPATCH:
        return {type, WrapComObject(V_DISPATCH(&value))};
    case VT_UNKNOWN:
        return {type, WrapComObject(V_UNKNOWN(&value))};
    default:
        // A variant's scalar members all start at the same place.
        return Scalar(type, &V_I1(&value));
    }
}

std::u16string FromAdsValue(const ADSVALUE& value) {
    switch (value.dwType) {
    case ADSTYPE_DN_STRING:
        return Text(value.DNString);
    case ADSTYPE_CASE_EXACT_STRING:
        return Text(value.CaseExactString);
    case ADSTYPE_CASE_IGNORE_STRING:
        return Text(value.CaseIgnoreString);
    case ADSTYPE_PRINTABLE_STRING:
        return Text(value.PrintableString);
    case ADSTYPE_NUMERIC_STRING:
        return Text(value.NumericString);
    case ADSTYPE_OBJECT_CLASS:
        return Text(value.ClassName);
    case ADSTYPE_BOOLEAN:
        return value.Boolean ? u"TRUE" : u"FALSE";
    case ADSTYPE_INTEGER:
        return Ascii(std::to_string(value.Integer).c_str());
    case ADSTYPE_LARGE_INTEGER:
        return Ascii(std::to_string(value.LargeInteger.QuadPart).c_str());
    case ADSTYPE_UTC_TIME: {
        const SYSTEMTIME& t = value.UTCTime;
        char text[32];
        std::snprintf(text, sizeof text, "%04u%02u%02u%02u%02u%02u.0Z", t.wYear, t.wMonth, t.wDay,
                      t.wHour, t.wMinute, t.wSecond);
        return Ascii(text);
    }
    case ADSTYPE_OCTET_STRING:
        return Bytes(value.OctetString.lpValue, value.OctetString.dwLength);
    case ADSTYPE_NT_SECURITY_DESCRIPTOR:
        return Bytes(value.SecurityDescriptor.lpValue, value.SecurityDescriptor.dwLength);
    case ADSTYPE_PROV_SPECIFIC:
        return Bytes(value.ProviderSpecific.lpValue, value.ProviderSpecific.dwLength);
    case ADSTYPE_DN_WITH_BINARY: {
        // The LDAP form B:<hex digits>:<hex>:<DN>.
        const ADS_DN_WITH_BINARY* v = value.pDNWithBinary;
        if (!v) return {};
        return u"B:" + Ascii(std::to_string(2 * v->dwLength).c_str()) + u":" +
               Hex(v->lpBinaryValue, v->dwLength) + u":" + Text(v->pszDNString);
    }
    case ADSTYPE_DN_WITH_STRING: {
        // The LDAP form S:<length>:<string>:<DN>.
        const ADS_DN_WITH_STRING* v = value.pDNWithString;
        if (!v) return {};
        std::u16string text = Text(v->pszStringValue);
        return u"S:" + Ascii(std::to_string(text.size()).c_str()) + u":" + text + u":" +
               Text(v->pszDNString);
    }
    default:
        return {};
    }
}

} // namespace kestrune::win32
