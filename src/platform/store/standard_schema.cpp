#include "platform/store/standard_schema.h"

#include <sstream>

namespace kestrune::store {
namespace {

struct StandardClass {
    const char* name;
    const char* cn;
    const char* categoryCn; // the cn of its default object category
    const char* subClassOf;
    const char* kind; // objectClassCategory: 1 structural, 2 abstract, 3 auxiliary
    const char* auxiliary;
    const char* must;
    const char* may;
    const char* possSuperiors;
};

// Lists are blank-separated.
constexpr StandardClass kClasses[] = {
    {"top", "Top", "Top", "top", "2", "",
     "objectClass objectCategory nTSecurityDescriptor instanceType",
     "distinguishedName name objectGUID whenCreated whenChanged uSNCreated uSNChanged "
     "showInAdvancedViewOnly isCriticalSystemObject systemFlags memberOf managedObjects isDeleted",
     ""},
    {"securityPrincipal", "Security-Principal", "Security-Principal", "top", "3", "",
     "objectSid sAMAccountName", "sIDHistory sAMAccountType tokenGroups", ""},
    {"person", "Person", "Person", "top", "2", "", "cn",
     "description seeAlso sn telephoneNumber userPassword", "container organizationalUnit"},
    {"organizationalPerson", "Organizational-Person", "Person", "person", "1", "", "",
     "c co company department givenName initials l mail manager physicalDeliveryOfficeName "
     "postalCode st streetAddress title",
     "container organizationalUnit"},
    {"user", "User", "Person", "organizationalPerson", "1", "securityPrincipal", "",
     "accountExpires badPasswordTime badPwdCount codePage countryCode homeDirectory homeDrive "
     "lastLogoff lastLogon lastLogonTimestamp lockoutTime logonCount logonHours primaryGroupID "
     "profilePath pwdLastSet scriptPath userAccountControl userPrincipalName userWorkstations",
     "builtinDomain container domainDNS organizationalUnit"},
    {"computer", "Computer", "Computer", "user", "1", "", "",
     "dNSHostName operatingSystem operatingSystemServicePack operatingSystemVersion "
     "servicePrincipalName",
     "container domainDNS organizationalUnit"},
    {"group", "Group", "Group", "top", "1", "securityPrincipal", "groupType",
     "cn description mail managedBy member",
     "builtinDomain container domainDNS organizationalUnit"},
    {"organizationalUnit", "Organizational-Unit", "Organizational-Unit", "top", "1", "", "ou",
     "description gPLink gPOptions l managedBy postalCode st street",
     "domainDNS organizationalUnit"},
    {"container", "Container", "Container", "top", "1", "", "cn", "description",
     "configuration container dMD domainDNS nTDSDSA organizationalUnit server site sitesContainer"},
    {"domain", "Domain", "Domain-DNS", "top", "2", "", "dc", "description",
     "domain organizationalUnit"},
    {"domainDNS", "Domain-DNS", "Domain-DNS", "domain", "1", "", "",
     "fSMORoleOwner managedBy msDS-Behavior-Version nTMixedDomain", "domainDNS"},
    {"builtinDomain", "Builtin-Domain", "Builtin-Domain", "top", "1", "", "", "description",
     "domainDNS"},
    {"configuration", "Configuration", "Configuration", "top", "1", "", "cn", "", "domainDNS"},
    {"dMD", "DMD", "DMD", "top", "1", "", "cn", "fSMORoleOwner", "configuration"},
    {"classSchema", "Class-Schema", "Class-Schema", "top", "1", "",
     "cn lDAPDisplayName subClassOf objectClassCategory",
     "defaultObjectCategory defaultSecurityDescriptor mustContain systemMustContain mayContain "
     "systemMayContain "
     "possSuperiors systemPossSuperiors auxiliaryClass systemAuxiliaryClass",
     "dMD"},
    {"attributeSchema", "Attribute-Schema", "Attribute-Schema", "top", "1", "",
     "cn lDAPDisplayName attributeSyntax oMSyntax isSingleValued", "linkID searchFlags", "dMD"},
    {"crossRefContainer", "Cross-Ref-Container", "Cross-Ref-Container", "top", "1", "", "",
     "msDS-Behavior-Version uPNSuffixes", "configuration"},
    {"crossRef", "Cross-Ref", "Cross-Ref", "top", "1", "", "cn dnsRoot nCName",
     "msDS-Behavior-Version nETBIOSName rootTrust systemFlags trustParent", "crossRefContainer"},
    {"sitesContainer", "Sites-Container", "Sites-Container", "top", "1", "", "", "",
     "configuration"},
    {"site", "Site", "Site", "top", "1", "", "", "description location siteObjectBL",
     "sitesContainer"},
    {"subnetContainer", "Subnet-Container", "Subnet-Container", "top", "1", "", "", "",
     "sitesContainer"},
    {"subnet", "Subnet", "Subnet", "top", "1", "", "", "description location siteObject",
     "subnetContainer"},
    {"serversContainer", "Servers-Container", "Servers-Container", "top", "1", "", "", "", "site"},
    {"server", "Server", "Server", "top", "1", "", "", "dNSHostName serverReference",
     "serversContainer"},
    {"applicationSettings", "Application-Settings", "Application-Settings", "top", "2", "", "", "",
     "server"},
    {"nTDSDSA", "NTDS-DSA", "NTDS-DSA", "applicationSettings", "1", "", "",
     "dMDLocation hasMasterNCs invocationId msDS-hasMasterNCs options queryPolicyObject", "server"},
    {"dfsConfiguration", "Dfs-Configuration", "Dfs-Configuration", "top", "1", "", "", "",
     "container"},
    {"fTDfs", "FT-Dfs", "FT-Dfs", "top", "1", "", "remoteServerName pKTGuid pKT",
     "keywords managedBy uNCName", "dfsConfiguration"},
    {"msDFS-NamespaceAnchor", "ms-DFS-Namespace-Anchor", "ms-DFS-Namespace-Anchor", "top", "1", "",
     "msDFS-SchemaMajorVersion", "", "dfsConfiguration"},
    {"msDFS-Namespacev2", "ms-DFS-Namespace-v2", "ms-DFS-Namespace-v2", "top", "1", "",
     "msDFS-SchemaMajorVersion msDFS-SchemaMinorVersion msDFS-GenerationGUIDv2 "
     "msDFS-NamespaceIdentityGUIDv2 msDFS-LastModifiedv2 msDFS-Ttlv2 msDFS-Propertiesv2 "
     "msDFS-TargetListv2",
     "msDFS-Commentv2", "msDFS-NamespaceAnchor"},
    {"msDFS-Linkv2", "ms-DFS-Link-v2", "ms-DFS-Link-v2", "top", "1", "",
     "msDFS-GenerationGUIDv2 msDFS-LastModifiedv2 msDFS-LinkIdentityGUIDv2 msDFS-LinkPathv2 "
     "msDFS-NamespaceIdentityGUIDv2 msDFS-Propertiesv2 msDFS-TargetListv2 msDFS-Ttlv2",
     "msDFS-Commentv2 msDFS-LinkSecurityDescriptorv2 msDFS-ShortNameLinkPathv2",
     "msDFS-Namespacev2"},
};

// The default security descriptors (DACLs) of the classes whose objects this program reads
// them from, as Microsoft's schema gives them: each new object of the class holds them as its
// own entries.
constexpr std::pair<const char*, const char*> kDefaultDescriptors[] = {
    {"msDFS-NamespaceAnchor",
     "D:(A;;RPWPCRCCDCLCLORCWOWDSDDTSW;;;DA)(A;;RPWPCRCCDCLCLORCWOWDSDDTSW;;;SY)"
     "(A;;RPLCLORC;;;AU)(A;;RPWPCRCCDCLCLORCWOWDSDDTSW;;;CO)"},
    {"msDFS-Namespacev2",
     "D:(A;;RPWPCRCCDCLCLORCWOWDSDDTSW;;;DA)(A;;RPWPCRCCDCLCLORCWOWDSDDTSW;;;SY)"
     "(A;;RPLCLORC;;;AU)"},
};

std::vector<std::string> Words(const char* list) {
    std::vector<std::string> words;
    std::istringstream in(list);
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

} // namespace

std::vector<Entry> StandardClassEntries(std::string_view schemaNc) {
    std::vector<Entry> entries;
    const std::string suffix = "," + std::string(schemaNc);
    for (const StandardClass& c : kClasses) {
        Entry e;
        e.dn = std::string("CN=") + c.cn + suffix;
        e.attributes = {{"objectClass", {"top", "classSchema"}},
                        {"cn", {c.cn}},
                        {"lDAPDisplayName", {c.name}},
                        {"defaultObjectCategory", {std::string("CN=") + c.categoryCn + suffix}},
                        {"subClassOf", {c.subClassOf}},
                        {"objectClassCategory", {c.kind}}};
        const std::pair<const char*, const char*> lists[] = {
            {"systemAuxiliaryClass", c.auxiliary},
            {"systemMustContain", c.must},
            {"systemMayContain", c.may},
            {"systemPossSuperiors", c.possSuperiors}};
        for (const auto& [type, list] : lists)
            if (auto words = Words(list); !words.empty())
                e.attributes.push_back({type, std::move(words)});
        for (const auto& [name, sddl] : kDefaultDescriptors)
            if (std::string_view(name) == c.name)
                e.attributes.push_back({"defaultSecurityDescriptor", {sddl}});
        entries.push_back(std::move(e));
    }
    return entries;
}

} // namespace kestrune::store
