#include "platform/attribute_syntax.h"

#include "platform/store/dn.h"
#include "platform/store/filter.h"

#include <array>
#include <cstdio>

namespace kestrune {
namespace {

struct Known {
    std::string_view name; // folded
    AttributeSyntax syntax;
};

constexpr std::array<Known, 34> kKnown = {{
    {"admincount", AttributeSyntax::Integer},
    {"badpwdcount", AttributeSyntax::Integer},
    {"codepage", AttributeSyntax::Integer},
    {"countrycode", AttributeSyntax::Integer},
    {"grouptype", AttributeSyntax::Integer},
    {"instancetype", AttributeSyntax::Integer},
    {"logoncount", AttributeSyntax::Integer},
    {"msdfs-ttlv2", AttributeSyntax::Integer},
    {"msdfs-schemamajorversion", AttributeSyntax::Integer},
    {"msdfs-schemaminorversion", AttributeSyntax::Integer},
    {"ntmixeddomain", AttributeSyntax::Integer},
    {"primarygroupid", AttributeSyntax::Integer},
    {"samaccounttype", AttributeSyntax::Integer},
    {"systemflags", AttributeSyntax::Integer},
    {"useraccountcontrol", AttributeSyntax::Integer},
    {"iscriticalsystemobject", AttributeSyntax::Boolean},
    {"showinadvancedviewonly", AttributeSyntax::Boolean},
    {"issingle-valued", AttributeSyntax::Boolean},
    {"accountexpires", AttributeSyntax::LargeInteger},
    {"badpasswordtime", AttributeSyntax::LargeInteger},
    {"lastlogoff", AttributeSyntax::LargeInteger},
    {"lastlogon", AttributeSyntax::LargeInteger},
    {"lastlogontimestamp", AttributeSyntax::LargeInteger},
    {"lockouttime", AttributeSyntax::LargeInteger},
    {"maxpwdage", AttributeSyntax::LargeInteger},
    {"minpwdage", AttributeSyntax::LargeInteger},
    {"pwdlastset", AttributeSyntax::LargeInteger},
    {"uscreated", AttributeSyntax::LargeInteger},
    {"usnchanged", AttributeSyntax::LargeInteger},
    {"ntsecuritydescriptor", AttributeSyntax::SecurityDescriptor},
    {"msdfs-linksecuritydescriptorv2", AttributeSyntax::SecurityDescriptor},
    {"whencreated", AttributeSyntax::GeneralizedTime},
    {"whenchanged", AttributeSyntax::GeneralizedTime},
    {"msdfs-lastmodifiedv2", AttributeSyntax::GeneralizedTime},
}};

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

} // namespace

AttributeSyntax SyntaxOf(std::string_view attribute) {
    std::string folded = store::FoldCase(attribute);
    for (const Known& k : kKnown)
        if (k.name == folded) return k.syntax;
    if (store::IsBinaryAttribute(attribute)) return AttributeSyntax::OctetString;
    return AttributeSyntax::String;
}

double OleDateFromGeneralizedTime(const std::string& text) {
    int year, month, day, hour, minute, second;
    if (std::sscanf(text.c_str(), "%4d%2d%2d%2d%2d%2d", &year, &month, &day, &hour, &minute,
                    &second) != 6)
        return 0;
    static const int daysBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    if (month < 1 || month > 12) return 0;
    long days = 0;
    for (int y = 1900; y < year; ++y)
        days += IsLeap(y) ? 366 : 365;
    days += daysBefore[month - 1] + (month > 2 && IsLeap(year) ? 1 : 0) + day - 1;
    days += 2; // 30 December 1899 is day 0, 1 January 1900 day 2
    return days + (hour * 3600 + minute * 60 + second) / 86400.0;
}

} // namespace kestrune
