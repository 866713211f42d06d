// Loading a large simulated namespace and enumerating it through the DFS component.
//   dfs_bench [LINKS]   (default 50000 links of 2 targets each)
// Prints the file size, the load time, the enumeration time and the peak memory.
#include "dfs/toxldfs.h"
#include "platform/dfs_target_list.h"
#include "platform/netdfs_over_store.h"
#include "platform/store/base64.h"
#include "platform/store/memory_store.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>

using namespace kestrune;
using Clock = std::chrono::steady_clock;

namespace {

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void Line(std::ofstream& out, const std::string& type, const std::string& value,
          bool binary = false) {
    out << type << (binary ? ":: " + store::Base64Encode(value) : ": " + value) << '\n';
}

// Written a record at a time so that the generator's memory does not count.
void Generate(const std::filesystem::path& file, int links) {
    std::ofstream out(file, std::ios::binary);
    const std::string domain = "DC=bench,DC=test";
    const std::string config = "CN=Configuration," + domain;
    out << "version: 1\n\ndn:\nconfigurationNamingContext: " << config
        << "\ndefaultNamingContext: " << domain << "\n\n";
    for (const std::string& dn :
         {domain, "CN=System," + domain, "CN=Dfs-Configuration,CN=System," + domain,
          "CN=Big,CN=Dfs-Configuration,CN=System," + domain})
        out << "dn: " << dn << "\nobjectClass: top\n\n";
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
        std::u16string a = u"\\\\FS" + std::u16string(1, u'0' + i % 10) + u"\\Share";
        std::u16string b = u"\\\\BACKUP\\Mirror";
        Line(out, "msDFS-TargetListv2", EncodeTargetList({a, b}), true);
        out << "\n";
    }
    out << "dn: " << config << "\nobjectClass: top\n\ndn: CN=Partitions," << config
        << "\nobjectClass: top\n\ndn: CN=BENCH,CN=Partitions," << config
        << "\nobjectClass: crossRef\nnCName: " << domain
        << "\ndnsRoot: bench.test\nnETBIOSName: BENCH\n\n";
}

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

} // namespace

int main(int argc, char** argv) {
    int links = argc > 1 ? std::atoi(argv[1]) : 50000;
    auto file = std::filesystem::temp_directory_path() /
                ("kestrune_bench_" + std::to_string(getpid()) + ".ldif");
    Generate(file, links);
    double megabytes = std::filesystem::file_size(file) / 1e6;
    long before = PeakKilobytes();

    auto start = Clock::now();
    std::string error;
    std::shared_ptr<store::MemoryStore> store = store::MemoryStore::Open(file, error);
    double loadSeconds = Seconds(start);
    if (!store) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    InstallNetDfsApi(std::make_shared<StoreNetDfs>(store));

    TOXLDFS dfs;
    long reports = 0;
    dfs.ONDFSEnum2 = [&](TOXLDFS*, AnsiString, AnsiString, AnsiString, int32_t, bool&) {
        ++reports;
    };
    dfs.SetDFSEntry(u"\\\\bench.test\\Big");
    start = Clock::now();
    dfs.EnumLinks();
    double enumSeconds = Seconds(start);
    long peak = PeakKilobytes();

    std::printf("links                 %d\n", links);
    std::printf("LDIF file             %.1f MB\n", megabytes);
    std::printf("load                  %.3f s\n", loadSeconds);
    std::printf("EnumLinks             %.3f s (%ld targets reported, LastError %u)\n", enumSeconds,
                reports, dfs.LastError());
    std::printf("peak memory           %.1f MB (%.1f x the file; %.1f MB before loading)\n",
                peak / 1e3, peak / 1e3 / megabytes, before / 1e3);
    std::filesystem::remove(file);
    return reports == 2L * links + 1 ? 0 : 1;
}
