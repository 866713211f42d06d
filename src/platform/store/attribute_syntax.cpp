#include "platform/store/attribute_syntax.h"

#include "base/ascii.h"

#include <algorithm>
#include <array>

namespace kestrune::store {
namespace {

using S = AttributeSyntax;

struct Standard {
    std::string_view name; // lower case
    AttributeSyntax syntax;
};

// Active Directory's standard attributes whose values are not plain strings (the schema's
// attributeSyntax for each), sorted by name.
constexpr auto kStandard = std::to_array<Standard>({
    {"accountexpires", S::LargeInteger},
    {"admincount", S::Integer},
    {"attributesecurityguid", S::OctetString},
    {"auditingpolicy", S::OctetString},
    {"badpasswordtime", S::LargeInteger},
    {"badpwdcount", S::Integer},
    {"bridgeheadserverlistbl", S::DistinguishedName},
    {"codepage", S::Integer},
    {"cost", S::Integer},
    {"countrycode", S::Integer},
    {"createtimestamp", S::GeneralizedTime},
    {"creationtime", S::LargeInteger},
    {"dbcspwd", S::OctetString},
    {"defaultobjectcategory", S::DistinguishedName},
    {"directreports", S::DistinguishedName},
    {"distinguishedname", S::DistinguishedName},
    {"dmdlocation", S::DistinguishedName},
    {"dnsrecord", S::OctetString},
    {"dscorepropagationdata", S::GeneralizedTime},
    {"dsservicename", S::DistinguishedName},
    {"forcelogoff", S::LargeInteger},
    {"frscomputerreference", S::DistinguishedName},
    {"fsmoroleowner", S::DistinguishedName},
    {"gpoptions", S::Integer},
    {"grouptype", S::Integer},
    {"hasmasterncs", S::DistinguishedName},
    {"haspartialreplicancs", S::DistinguishedName},
    {"instancetype", S::Integer},
    {"invocationid", S::OctetString},
    {"iscriticalsystemobject", S::Boolean},
    {"isdefunct", S::Boolean},
    {"isdeleted", S::Boolean},
    {"ismemberofpartialattributeset", S::Boolean},
    {"isrecycled", S::Boolean},
    {"issingle-valued", S::Boolean},
    {"jpegphoto", S::OctetString},
    {"lastknownparent", S::DistinguishedName},
    {"lastlogoff", S::LargeInteger},
    {"lastlogon", S::LargeInteger},
    {"lastlogontimestamp", S::LargeInteger},
    {"lastsettime", S::LargeInteger},
    {"linkid", S::Integer},
    {"lmpwdhistory", S::OctetString},
    {"localpolicyflags", S::Integer},
    {"lockoutduration", S::LargeInteger},
    {"lockoutobservationwindow", S::LargeInteger},
    {"lockoutthreshold", S::Integer},
    {"lockouttime", S::LargeInteger},
    {"logoncount", S::Integer},
    {"logonhours", S::OctetString},
    {"managedby", S::DistinguishedName},
    {"managedobjects", S::DistinguishedName},
    {"manager", S::DistinguishedName},
    {"masteredby", S::DistinguishedName},
    {"maxpwdage", S::LargeInteger},
    {"member", S::DistinguishedName},
    {"memberof", S::DistinguishedName},
    {"minpwdage", S::LargeInteger},
    {"minpwdlength", S::Integer},
    {"modifiedcount", S::LargeInteger},
    {"modifytimestamp", S::GeneralizedTime},
    {"ms-ds-consistencyguid", S::OctetString},
    {"ms-ds-machineaccountquota", S::Integer},
    {"msdfs-generationguidv2", S::OctetString},
    {"msdfs-lastmodifiedv2", S::GeneralizedTime},
    {"msdfs-linkidentityguidv2", S::OctetString},
    {"msdfs-linksecuritydescriptorv2", S::SecurityDescriptor},
    {"msdfs-namespaceidentityguidv2", S::OctetString},
    {"msdfs-schemamajorversion", S::Integer},
    {"msdfs-schemaminorversion", S::Integer},
    {"msdfs-targetlistv2", S::OctetString},
    {"msdfs-ttlv2", S::Integer},
    {"msds-allowedtoactonbehalfofotheridentity", S::SecurityDescriptor},
    {"msds-behavior-version", S::Integer},
    {"msds-hasmasterncs", S::DistinguishedName},
    {"msds-nc-replica-locations", S::DistinguishedName},
    {"msds-sdreferencedomain", S::DistinguishedName},
    {"msds-supportedencryptiontypes", S::Integer},
    {"msds-user-account-control-computed", S::Integer},
    {"ncname", S::DistinguishedName},
    {"ntmixeddomain", S::Integer},
    {"ntpwdhistory", S::OctetString},
    {"ntsecuritydescriptor", S::SecurityDescriptor},
    {"objectcategory", S::DistinguishedName},
    {"objectclasscategory", S::Integer},
    {"objectguid", S::OctetString},
    {"objectsid", S::OctetString},
    {"objectversion", S::Integer},
    {"omsyntax", S::Integer},
    {"options", S::Integer},
    {"owner", S::DistinguishedName},
    {"pkt", S::OctetString},
    {"pktguid", S::OctetString},
    {"primarygroupid", S::Integer},
    {"priorsettime", S::LargeInteger},
    {"pwdhistorylength", S::Integer},
    {"pwdlastset", S::LargeInteger},
    {"pwdproperties", S::Integer},
    {"querypolicyobject", S::DistinguishedName},
    {"rangelower", S::Integer},
    {"rangeupper", S::Integer},
    {"replinterval", S::Integer},
    {"replupdatevector", S::OctetString},
    {"repsfrom", S::OctetString},
    {"repsto", S::OctetString},
    {"ridmanagerreference", S::DistinguishedName},
    {"samaccounttype", S::Integer},
    {"schemaflagsex", S::Integer},
    {"schemaidguid", S::OctetString},
    {"schemaupdate", S::GeneralizedTime},
    {"searchflags", S::Integer},
    {"secretary", S::DistinguishedName},
    {"securityidentifier", S::OctetString},
    {"seealso", S::DistinguishedName},
    {"serverreference", S::DistinguishedName},
    {"serverreferencebl", S::DistinguishedName},
    {"showinadvancedviewonly", S::Boolean},
    {"sidhistory", S::OctetString},
    {"sitelinklist", S::DistinguishedName},
    {"sitelist", S::DistinguishedName},
    {"siteobject", S::DistinguishedName},
    {"siteobjectbl", S::DistinguishedName},
    {"subrefs", S::DistinguishedName},
    {"supplementalcredentials", S::OctetString},
    {"systemflags", S::Integer},
    {"systemonly", S::Boolean},
    {"thumbnailphoto", S::OctetString},
    {"tokengroups", S::OctetString},
    {"trustattributes", S::Integer},
    {"trustdirection", S::Integer},
    {"trustposixoffset", S::Integer},
    {"trusttype", S::Integer},
    {"unicodepwd", S::OctetString},
    {"useraccountcontrol", S::Integer},
    {"usercertificate", S::OctetString},
    {"userpassword", S::OctetString},
    {"usnchanged", S::LargeInteger},
    {"usncreated", S::LargeInteger},
    {"whenchanged", S::GeneralizedTime},
    {"whencreated", S::GeneralizedTime},
});

constexpr bool Sorted() {
    for (size_t i = 1; i < kStandard.size(); ++i)
        if (!(kStandard[i - 1].name < kStandard[i].name)) return false;
    return true;
}
static_assert(Sorted(), "the standard attributes are looked up by binary search");

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = LowerAscii(c);
    return out;
}

} // namespace

std::optional<AttributeSyntax> SyntaxFromSchema(std::string_view attributeSyntax,
                                                std::string_view oMSyntax) {
    // The attribute syntax decides; oMSyntax tells apart what it leaves open.
    if (attributeSyntax == "2.5.5.1") return S::DistinguishedName;
    if (attributeSyntax == "2.5.5.8") return S::Boolean;
    if (attributeSyntax == "2.5.5.9") return S::Integer;
    if (attributeSyntax == "2.5.5.10" || attributeSyntax == "2.5.5.17") return S::OctetString;
    if (attributeSyntax == "2.5.5.11") return S::GeneralizedTime;
    if (attributeSyntax == "2.5.5.15") return S::SecurityDescriptor;
    if (attributeSyntax == "2.5.5.16") return S::LargeInteger;
    if (!attributeSyntax.empty()) return S::String; // strings, OIDs, DN-binary, ...
    if (oMSyntax == "1") return S::Boolean;
    if (oMSyntax == "2" || oMSyntax == "10") return S::Integer;
    if (oMSyntax == "4") return S::OctetString;
    if (oMSyntax == "23" || oMSyntax == "24") return S::GeneralizedTime;
    if (oMSyntax == "65") return S::LargeInteger;
    if (oMSyntax == "66") return S::SecurityDescriptor;
    if (!oMSyntax.empty()) return S::String;
    return std::nullopt;
}

std::optional<AttributeSyntax> StandardSyntax(std::string_view attribute) {
    std::string name = Lower(attribute);
    auto it = std::lower_bound(kStandard.begin(), kStandard.end(), name,
                               [](const Standard& s, const std::string& n) { return s.name < n; });
    if (it == kStandard.end() || it->name != name) return std::nullopt;
    return it->syntax;
}

void AttributeSyntaxes::Learn(const Entry& attributeSchema) {
    std::string name = attributeSchema.First("lDAPDisplayName");
    auto syntax = SyntaxFromSchema(attributeSchema.First("attributeSyntax"),
                                   attributeSchema.First("oMSyntax"));
    if (!name.empty() && syntax) bySchema_[Lower(name)] = *syntax;
}

AttributeSyntax AttributeSyntaxes::Of(std::string_view attribute) const {
    if (!bySchema_.empty()) {
        auto it = bySchema_.find(Lower(attribute));
        if (it != bySchema_.end()) return it->second;
    }
    return StandardSyntax(attribute).value_or(S::String);
}

} // namespace kestrune::store
