// The directory platform interface: ADSI and the COM services it rests on, as abstract C++
// interfaces that a backend implements (ADSI itself on Windows, a directory store elsewhere).
//
// Objects are shared: an interface pointer is a std::shared_ptr, released when the last holder
// lets go. Every call returns an HRESULT; a failing call also leaves its error information
// (SetErrorInfo/GetErrorInfo) and the thread's last error.
#pragma once

#include "base/ansi_string.h"
#include "base/win_errors.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace kestrune::adsi {

using HRESULT = int32_t;

constexpr HRESULT H(uint32_t code) {
    return static_cast<HRESULT>(code);
}
constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}
// A Win32 code as an HRESULT of the Win32 facility.
constexpr HRESULT HResultFromWin32(uint32_t code) {
    return H(0x80070000u | (code & 0xFFFFu));
}

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = H(0x80004001);
constexpr HRESULT E_NOINTERFACE = H(0x80004002);
constexpr HRESULT E_POINTER = H(0x80004003);
constexpr HRESULT E_FAIL = H(0x80004005);
constexpr HRESULT E_INVALIDARG = HResultFromWin32(ERROR_INVALID_PARAMETER);
constexpr HRESULT E_ACCESSDENIED = HResultFromWin32(ERROR_ACCESS_DENIED);
constexpr HRESULT REGDB_E_CLASSNOTREG = H(0x80040154);
constexpr HRESULT MK_E_SYNTAX = H(0x800401E4);
constexpr HRESULT E_ADS_BAD_PATHNAME = H(0x80005000);
constexpr HRESULT E_ADS_UNKNOWN_OBJECT = H(0x80005004);
constexpr HRESULT E_ADS_PROPERTY_NOT_FOUND = H(0x8000500D);
constexpr HRESULT E_ADS_BAD_PARAMETER = H(0x80005008);
constexpr HRESULT S_ADS_NOMORE_ROWS = H(0x00005012);
constexpr HRESULT S_ADS_NOMORE_COLUMNS = H(0x00005013);
constexpr HRESULT E_ADS_COLUMN_NOT_SET = H(0x80005010);
constexpr HRESULT E_ADS_INVALID_FILTER = H(0x80005014);
constexpr HRESULT HR_NO_SUCH_OBJECT = HResultFromWin32(ERROR_DS_NO_SUCH_OBJECT);
constexpr HRESULT HR_SERVER_NOT_OPERATIONAL = HResultFromWin32(ERROR_DS_SERVER_DOWN);
constexpr HRESULT HR_NO_SUCH_DOMAIN = HResultFromWin32(ERROR_NO_SUCH_DOMAIN);
constexpr HRESULT HR_ALREADY_EXISTS = HResultFromWin32(ERROR_OBJECT_ALREADY_EXISTS);
constexpr HRESULT HR_NOT_ALLOWED_ON_NON_LEAF = HResultFromWin32(ERROR_DS_CANT_ON_NON_LEAF);
constexpr HRESULT HR_ACCESS_DENIED = HResultFromWin32(ERROR_ACCESS_DENIED);
constexpr HRESULT HR_OBJECT_CLASS_VIOLATION = HResultFromWin32(ERROR_DS_OBJ_CLASS_VIOLATION);
constexpr HRESULT HR_SIZE_LIMIT_EXCEEDED = HResultFromWin32(ERROR_DS_SIZELIMIT_EXCEEDED);
constexpr HRESULT HR_ILLEGAL_SUPERIOR = HResultFromWin32(ERROR_DS_ILLEGAL_SUPERIOR);

// The Win32 code inside an HRESULT of the Win32 facility, or the HRESULT itself.
constexpr uint32_t Win32Code(HRESULT hr) {
    uint32_t u = static_cast<uint32_t>(hr);
    return (u & 0xFFFF0000u) == 0x80070000u ? (u & 0xFFFFu) : u;
}

struct GUID {
    std::array<uint8_t, 16> bytes{};
    bool operator==(const GUID&) const = default;
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
    std::string ToString() const;
    static GUID Parse(std::string_view text); // "{...}" or without braces
};
using IID = GUID;
using CLSID = GUID;

// ---- variants -------------------------------------------------------------------------------

enum VARTYPE : uint16_t {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_ARRAY = 0x2000,
};

class IUnknown;
struct Variant;

// A one-dimensional SAFEARRAY of variants.
struct SafeArray {
    int32_t lowerBound = 0;
    std::vector<Variant> elements;
};

struct Variant {
    uint16_t vt = VT_EMPTY;
    std::variant<std::monostate, int64_t, double, std::u16string, std::shared_ptr<IUnknown>,
                 std::shared_ptr<SafeArray>>
        value;

    static Variant Empty() { return {}; }
    static Variant Int(int32_t v) { return {VT_I4, int64_t(v)}; }
    static Variant Int64(int64_t v) { return {VT_I8, v}; }
    static Variant Bool(bool v) { return {VT_BOOL, int64_t(v ? -1 : 0)}; } // VARIANT_TRUE is -1
    static Variant Double(double v) { return {VT_R8, v}; }
    static Variant Date(double oleDate) { return {VT_DATE, oleDate}; }
    static Variant String(std::u16string v) { return {VT_BSTR, std::move(v)}; }
    static Variant Dispatch(std::shared_ptr<IUnknown> v) { return {VT_DISPATCH, std::move(v)}; }
    static Variant Array(std::vector<Variant> elements);

    const std::u16string* AsString() const { return std::get_if<std::u16string>(&value); }
    std::shared_ptr<IUnknown> AsInterface() const;
    const SafeArray* AsArray() const;
};

// ---- COM basics -----------------------------------------------------------------------------

class IUnknown : public std::enable_shared_from_this<IUnknown> {
  public:
    virtual ~IUnknown() = default;
    // out receives this object seen through the interface iid, or stays null (E_NOINTERFACE).
    virtual HRESULT QueryInterface(const IID& iid, std::shared_ptr<IUnknown>& out) = 0;
};

// IDispatch: automation objects. Member calls go by name here; dispatch identifiers are the
// platform's business.
class IDispatch : public virtual IUnknown {};

// Typed query: ptr receives the object as T (T::IID names the interface).
template <typename T> HRESULT QueryInterface(IUnknown& object, std::shared_ptr<T>& ptr) {
    std::shared_ptr<IUnknown> out;
    HRESULT hr = object.QueryInterface(T::IID_, out);
    ptr = SUCCEEDED(hr) ? std::dynamic_pointer_cast<T>(out) : nullptr;
    if (SUCCEEDED(hr) && !ptr) return E_NOINTERFACE;
    return hr;
}

// Error information that the failing object left for the calling thread.
class IErrorInfo {
  public:
    virtual ~IErrorInfo() = default;
    virtual std::u16string Description() const = 0;
};
void SetErrorInfo(std::shared_ptr<IErrorInfo> info);
// Takes the thread's error information (S_FALSE and null when there is none).
HRESULT GetErrorInfo(std::shared_ptr<IErrorInfo>& info);

// ---- ADSI interfaces ------------------------------------------------------------------------

class IADs : public virtual IDispatch {
  public:
    static const IID IID_;
    virtual HRESULT get_Name(std::u16string& out) = 0;
    virtual HRESULT get_Class(std::u16string& out) = 0;
    virtual HRESULT get_GUID(std::u16string& out) = 0;
    virtual HRESULT get_ADsPath(std::u16string& out) = 0;
    virtual HRESULT get_Parent(std::u16string& out) = 0;
    virtual HRESULT get_Schema(std::u16string& out) = 0;
    virtual HRESULT Get(const std::u16string& name, Variant& out) = 0;
    virtual HRESULT GetInfo() = 0;
};

class IEnumVARIANT : public virtual IUnknown {
  public:
    static const IID IID_;
    // Up to count items; S_OK when all were fetched, S_FALSE when fewer.
    virtual HRESULT Next(uint32_t count, std::vector<Variant>& items) = 0;
};

class IADsContainer : public virtual IDispatch {
  public:
    static const IID IID_;
    virtual HRESULT get__NewEnum(std::shared_ptr<IEnumVARIANT>& out) = 0;
    virtual HRESULT Delete(const std::u16string& className, const std::u16string& relativeName) = 0;
    virtual HRESULT MoveHere(const std::u16string& sourcePath, const std::u16string& newName,
                             std::shared_ptr<IDispatch>& out) = 0;
};

class IADsMembers : public virtual IDispatch {
  public:
    static const IID IID_;
    virtual HRESULT get__NewEnum(std::shared_ptr<IEnumVARIANT>& out) = 0;
};

class IADsUser : public virtual IADs {
  public:
    static const IID IID_;
    virtual HRESULT Groups(std::shared_ptr<IADsMembers>& out) = 0;
};

class IADsGroup : public virtual IADs {
  public:
    static const IID IID_;
    virtual HRESULT Members(std::shared_ptr<IADsMembers>& out) = 0;
};

class IADsClass : public virtual IADs {
  public:
    static const IID IID_;
    virtual HRESULT get_MandatoryProperties(Variant& out) = 0;
    virtual HRESULT get_OptionalProperties(Variant& out) = 0;
};

class IADsNamespaces : public virtual IADs {
  public:
    static const IID IID_;
    virtual HRESULT get_DefaultContainer(std::u16string& out) = 0;
    virtual HRESULT put_DefaultContainer(const std::u16string& value) = 0;
};

class IADsADSystemInfo : public virtual IDispatch {
  public:
    static const IID IID_;
    virtual HRESULT get_UserName(std::u16string& out) = 0;
    virtual HRESULT get_ComputerName(std::u16string& out) = 0;
    virtual HRESULT get_SiteName(std::u16string& out) = 0;
    virtual HRESULT get_DomainShortName(std::u16string& out) = 0;
    virtual HRESULT get_DomainDNSName(std::u16string& out) = 0;
    virtual HRESULT get_ForestDNSName(std::u16string& out) = 0;
    virtual HRESULT get_PDCRoleOwner(std::u16string& out) = 0;
    virtual HRESULT get_SchemaRoleOwner(std::u16string& out) = 0;
    virtual HRESULT get_IsNativeMode(bool& out) = 0;
};

// The large-integer object (IADsLargeInteger) that 64-bit attributes arrive as.
class IADsLargeInteger : public virtual IDispatch {
  public:
    static const IID IID_;
    virtual int32_t HighPart() const = 0;
    virtual int32_t LowPart() const = 0;
};

// ---- searching ------------------------------------------------------------------------------

enum ADS_SEARCHPREF : int32_t {
    ADS_SEARCHPREF_ASYNCHRONOUS = 0,
    ADS_SEARCHPREF_DEREF_ALIASES = 1,
    ADS_SEARCHPREF_SIZE_LIMIT = 2,
    ADS_SEARCHPREF_TIME_LIMIT = 3,
    ADS_SEARCHPREF_ATTRIBTYPES_ONLY = 4,
    ADS_SEARCHPREF_SEARCH_SCOPE = 5,
    ADS_SEARCHPREF_TIMEOUT = 6,
    ADS_SEARCHPREF_PAGESIZE = 7,
};
enum ADS_SCOPE : int32_t { ADS_SCOPE_BASE = 0, ADS_SCOPE_ONELEVEL = 1, ADS_SCOPE_SUBTREE = 2 };
constexpr int32_t ADSTYPE_DN_STRING = 1;
constexpr int32_t ADSTYPE_CASE_IGNORE_STRING = 3;
constexpr int32_t ADSTYPE_INTEGER = 7;

enum ADS_STATUS : int32_t {
    ADS_STATUS_S_OK = 0,
    ADS_STATUS_INVALID_SEARCHPREF = 1,
    ADS_STATUS_INVALID_SEARCHPREFVALUE = 2
};

struct ADS_SEARCHPREF_INFO {
    ADS_SEARCHPREF dwSearchPref;
    int32_t dwType; // ADSTYPE_INTEGER for the preferences used here
    int32_t Integer;
    ADS_STATUS dwStatus = ADS_STATUS_S_OK; // set by SetSearchPreference
};

struct ADS_SEARCH_COLUMN {
    std::u16string pszAttrName;
    int32_t dwADsType = 0;
    std::vector<std::u16string> values; // each value as text
};

using ADS_SEARCH_HANDLE = void*;

class IDirectorySearch : public virtual IUnknown {
  public:
    static const IID IID_;
    // S_OK when every preference was accepted; S_ADS_ERRORSOCCURRED (0x00005011) otherwise,
    // with dwStatus telling which.
    virtual HRESULT SetSearchPreference(ADS_SEARCHPREF_INFO* prefs, uint32_t count) = 0;
    // filter null: every object in scope.
    virtual HRESULT ExecuteSearch(const char16_t* filter,
                                  const std::vector<std::u16string>& attributes,
                                  ADS_SEARCH_HANDLE* handle) = 0;
    virtual HRESULT GetFirstRow(ADS_SEARCH_HANDLE handle) = 0;
    virtual HRESULT GetNextRow(ADS_SEARCH_HANDLE handle) = 0;
    virtual HRESULT GetColumn(ADS_SEARCH_HANDLE handle, const std::u16string& name,
                              ADS_SEARCH_COLUMN* column) = 0;
    virtual HRESULT FreeColumn(ADS_SEARCH_COLUMN* column) = 0;
    virtual HRESULT CloseSearchHandle(ADS_SEARCH_HANDLE handle) = 0;
};
constexpr HRESULT S_ADS_ERRORSOCCURRED = H(0x00005011);

// ---- entry points ---------------------------------------------------------------------------

extern const IID IID_IUnknown;
extern const IID IID_IDispatch;
extern const CLSID CLSID_ADSystemInfo;

// The usual QueryInterface of an object that implements IUnknown, IDispatch and Interfaces.
template <typename... Interfaces>
HRESULT AnswerQuery(IUnknown& self, const IID& iid, std::shared_ptr<IUnknown>& out) {
    bool supported =
        iid == IID_IUnknown || iid == IID_IDispatch || ((iid == Interfaces::IID_) || ...);
    out = supported ? self.shared_from_this() : nullptr;
    return supported ? S_OK : E_NOINTERFACE;
}

// What a backend provides; the free functions below dispatch to the installed one.
class AdsiPlatform {
  public:
    virtual ~AdsiPlatform() = default;
    // Binds a full path ("LDAP://...", "GC://...", "ADs:"); the object as interface iid.
    virtual HRESULT GetObject(const std::u16string& path, const IID& iid,
                              std::shared_ptr<IUnknown>& out) = 0;
    virtual HRESULT CreateInstance(const CLSID& clsid, const IID& iid,
                                   std::shared_ptr<IUnknown>& out) = 0;
};

// null: no directory platform: binding fails, and the ADSystemInfo object answers every read
// with ERROR_NO_SUCH_DOMAIN, as on a computer that is not a domain member.
void InstallAdsiPlatform(std::shared_ptr<AdsiPlatform> platform);

constexpr uint32_t COINIT_APARTMENTTHREADED = 2;
constexpr uint32_t CLSCTX_INPROC_SERVER = 1;
constexpr uint32_t CLSCTX_LOCAL_SERVER = 4;
HRESULT CoInitializeEx(void* reserved, uint32_t flags);
HRESULT CoCreateInstance(const CLSID& clsid, void* outer, uint32_t context, const IID& iid,
                         std::shared_ptr<IUnknown>& out);
HRESULT ADsGetObject(const std::u16string& path, const IID& iid, std::shared_ptr<IUnknown>& out);

// Monikers: a display name parsed in a bind context and bound to an object.
class IBindCtx {
  public:
    virtual ~IBindCtx() = default;
};
class IMoniker {
  public:
    virtual ~IMoniker() = default;
    virtual HRESULT BindToObject(IBindCtx* context, IMoniker* left, const IID& iid,
                                 std::shared_ptr<IUnknown>& out) = 0;
};
HRESULT CreateBindCtx(uint32_t reserved, std::shared_ptr<IBindCtx>& out);
HRESULT MkParseDisplayName(IBindCtx* context, const std::u16string& name, uint32_t* eaten,
                           std::shared_ptr<IMoniker>& out);

} // namespace kestrune::adsi
