// Attribute values as text, and the attribute names of an object's class.
#include "directory/ole_error.h"
#include "directory/tntads.h"

#include <cmath>
#include <cstdio>

namespace kestrune {
namespace {

AnsiString Number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

// An OLE date (days since 30 December 1899) as date and time.
AnsiString DateText(double oleDate) {
    long days = static_cast<long>(std::floor(oleDate));
    long seconds = std::lround((oleDate - days) * 86400.0);
    // Civil date from days since 1970-01-01 (25569 OLE days).
    long z = days - 25569 + 719468;
    long era = (z >= 0 ? z : z - 146096) / 146097;
    long doe = z - era * 146097;
    long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long mp = (5 * doy + 2) / 153;
    long day = doy - (153 * mp + 2) / 5 + 1;
    long month = mp < 10 ? mp + 3 : mp - 9;
    long year = yoe + era * 400 + (month <= 2);
    char text[160];
    if (seconds == 0)
        std::snprintf(text, sizeof text, "%04ld-%02ld-%02ld", year, month, day);
    else
        std::snprintf(text, sizeof text, "%04ld-%02ld-%02ld %02ld:%02ld:%02ld", year, month, day,
                      seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

// The platform's variant-to-text conversion for the scalar kinds.
AnsiString ScalarText(const adsi::Variant& v) {
    switch (v.vt) {
    case adsi::VT_BOOL:
        return std::get<int64_t>(v.value) ? "True" : "False";
    case adsi::VT_R4:
    case adsi::VT_R8:
        return Number(std::get<double>(v.value));
    case adsi::VT_CY:
        return Number(static_cast<double>(std::get<int64_t>(v.value)) / 10000.0);
    case adsi::VT_DATE:
        return DateText(std::get<double>(v.value));
    case adsi::VT_BSTR:
        return WideToAnsi(*v.AsString());
    default:
        return std::to_string(std::get<int64_t>(v.value));
    }
}

AnsiString ElementText(const adsi::Variant& v) {
    if (v.vt == adsi::VT_BSTR) return WideToAnsi(*v.AsString());
    return ScalarText(v);
}

} // namespace

WideString TNTADS::GetPropertyValue(adsi::IADs& object, const AnsiString& name) {
    WideString result;
    adsi::Variant value;
    OleCheck(object.Get(AnsiToWide(name), value)); // a failed read reaches the caller
    try {
        uint16_t vt = value.vt;
        if (vt == adsi::VT_EMPTY || vt == adsi::VT_NULL) {
            result.clear();
        } else if ((vt >= adsi::VT_I2 && vt <= adsi::VT_BSTR) || vt == adsi::VT_BOOL) {
            result = AnsiToWide(ScalarText(value));
        } else if (vt == adsi::VT_DISPATCH) {
            if (name == "pwdLastSet" || name == "lastLogon") {
                auto large = std::dynamic_pointer_cast<adsi::IADsLargeInteger>(value.AsInterface());
                if (!large) throw EOleError("Unknown name", adsi::E_FAIL);
                result = AnsiToWide(std::to_string(large->HighPart()) + "." +
                                    std::to_string(large->LowPart()));
            }
        } else if (vt == adsi::VT_VARIANT) {
            result = u"(Variant)";
        } else if (vt == adsi::VT_UNKNOWN) {
            result = u"(Unknown)";
        } else {
            char text[16];
            std::snprintf(text, sizeof text, "(%04X)", vt);
            result = AnsiToWide(text);
        }
    } catch (const std::exception& e) {
        ShowMessage(e.what());
    }
    return result;
}

TStringList* TNTADS::GetPropertyList(bool mandatory) {
    auto list = std::make_unique<TStringList>();
    std::shared_ptr<adsi::IDispatch> object;
    VBOpenObject(FADSPath, object);
    std::u16string schema;
    OleCheck(Supports<adsi::IADs>(*object)->get_Schema(schema));
    std::shared_ptr<adsi::IDispatch> classObject;
    VBOpenObject(WideToAnsi(schema), classObject);
    std::shared_ptr<adsi::IADsClass> cls = Supports<adsi::IADsClass>(*classObject);
    adsi::Variant names;
    OleCheck(mandatory ? cls->get_MandatoryProperties(names) : cls->get_OptionalProperties(names));
    if (names.vt & adsi::VT_ARRAY) {
        for (const adsi::Variant& name : names.AsArray()->elements)
            list->Add(ElementText(name));
    } else {
        list->Add(ElementText(names));
    }
    return list.release();
}

TStringList* TNTADS::GetPropertyList2() {
    auto list = std::make_unique<TStringList>();
    std::shared_ptr<adsi::IDispatch> object;
    VBOpenObject(FADSPath, object);
    OleCheck(Supports<adsi::IADs>(*object)->GetInfo());
    return list.release();
}

} // namespace kestrune
