#include "namespace_ldif.h"

#include "platform/netdfs_over_store/dfs_target_list.h"
#include "platform/store/base64.h"

#include <fstream>
#include <string>
#include <sys/resource.h>

namespace kestrune::bench {
namespace {

void Line(std::ofstream& out, const std::string& type, const std::string& value,
          bool binary = false) {
    out << type << (binary ? ":: " + store::Base64Encode(value) : ": " + value) << '\n';
}

} // namespace

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Written a record at a time so that the generator's memory does not count.
void WriteNamespaceLdif(const std::filesystem::path& file, int links) {
    std::ofstream out(file, std::ios::binary);
    const std::string domain = "DC=bench,DC=test";
    const std::string config = "CN=Configuration," + domain;
    // A whole domain as the program expects to find it at start-up.
    out << "version: 1\n\ndn:\nconfigurationNamingContext: " << config
        << "\ndefaultNamingContext: " << domain << "\nrootDomainNamingContext: " << domain
        << "\nschemaNamingContext: CN=Schema," << config << "\ndnsHostName: dc1.bench.test"
        << "\nkestruneLocalUserName: CN=Administrator,CN=Users," << domain
        << "\nkestruneLocalComputerName: CN=WS01,CN=Computers," << domain
        << "\nkestruneLocalSiteName: Default-First-Site-Name\n\n";
    out << "dn: " << domain << "\nobjectClass: top\nobjectClass: domainDNS\nnTMixedDomain: 0\n"
        << "fSMORoleOwner: CN=NTDS Settings,CN=DC1," << config << "\n\n";
    // The containers with their classes (and the anchor its version), so that a restore may
    // create a namespace beside Big.
    const std::pair<std::string, const char*> containers[] = {
        {"CN=System," + domain, "container"},
        {"CN=Dfs-Configuration,CN=System," + domain, "dfsConfiguration"},
        {"CN=Big,CN=Dfs-Configuration,CN=System," + domain,
         "msDFS-NamespaceAnchor\nmsDFS-SchemaMajorVersion: 2"}};
    for (const auto& [dn, objectClass] : containers)
        out << "dn: " << dn << "\nobjectClass: top\nobjectClass: " << objectClass << "\n\n";
    const std::string ns = "CN=Big,CN=Big,CN=Dfs-Configuration,CN=System," + domain;
    out << "dn: " << ns << "\nobjectClass: top\nobjectClass: msDFS-Namespacev2\n";
    Line(out, "msDFS-TargetListv2", EncodeTargetList({u"\\\\DC1\\Big"}), true);
    out << "\n";
    for (int i = 0; i < links; ++i) {
        std::string n = std::to_string(i);
        out << "dn: CN=link" << n << "," << ns << "\nobjectClass: top\nobjectClass: msDFS-Linkv2\n";
        Line(out, "msDFS-LinkPathv2", "/Department" + std::to_string(i % 100) + "/Share" + n);
        Line(out, "msDFS-Commentv2", "Link number " + n);
        Line(out, "msDFS-LinkIdentityGUIDv2", std::string(16, static_cast<char>(i)), true);
        Line(out, "msDFS-LastModifiedv2", "20261201090000.0Z");
        Line(out, "msDFS-Ttlv2", i % 7 ? "1800" : "600");
        Line(out, "msDFS-Propertiesv2", i % 5 ? "State=Okay" : "State=Offline");
        std::u16string a = u"\\\\FS" + std::u16string(1, u'0' + i % 10) + u"\\Share";
        std::u16string b = u"\\\\BACKUP\\Mirror";
        Line(out, "msDFS-TargetListv2", EncodeTargetList({a, b}), true);
        out << "\n";
    }
    out << "dn: " << config << "\nobjectClass: top\n\ndn: CN=Schema," << config
        << "\nobjectClass: top\nobjectClass: dMD\nfSMORoleOwner: CN=NTDS Settings,CN=DC1," << config
        << "\n\ndn: CN=Partitions," << config << "\nobjectClass: top\n\ndn: CN=BENCH,CN=Partitions,"
        << config << "\nobjectClass: crossRef\nnCName: " << domain
        << "\ndnsRoot: bench.test\nnETBIOSName: BENCH\n\n";
}

} // namespace kestrune::bench
