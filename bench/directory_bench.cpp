// A paged search through the directory component over many objects.
//   directory_bench [OBJECTS]   (default 100000 users in one container; RowCount 100)
#include "directory/tntads.h"
#include "namespace_ldif.h"
#include "platform/platform.h"
#include "platform/store/memory_store.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace kestrune;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
    int objects = argc > 1 ? std::atoi(argv[1]) : 100000;
    auto file = std::filesystem::temp_directory_path() /
                ("kestrune_dirbench_" + std::to_string(getpid()) + ".ldif");
    {
        std::ofstream out(file, std::ios::binary);
        out << "dn:\ndefaultNamingContext: DC=bench,DC=test\nrootDomainNamingContext: "
               "DC=bench,DC=test\n\n"
            << "dn: DC=bench,DC=test\nobjectClass: top\nobjectClass: domainDNS\n\n"
            << "dn: CN=Users,DC=bench,DC=test\nobjectClass: top\nobjectClass: container\n\n";
        for (int i = 0; i < objects; ++i)
            out << "dn: CN=user" << i
                << ",CN=Users,DC=bench,DC=test\nobjectClass: top\nobjectClass: person\n"
                << "objectClass: user\nsAMAccountName: user" << i
                << "\ndescription: generated user number " << i << "\n\n";
    }
    std::string error;
    std::shared_ptr<store::MemoryStore> directory = store::MemoryStore::Open(file, error);
    if (!directory) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    InstallStorePlatform(directory);
    TNTADS ads;
    ads.SetSearchPath(u"LDAP://CN=Users,DC=bench,DC=test");
    ads.SetFilter(u"objectClass=user");
    ads.SetRowCount(100);
    long before = bench::PeakKilobytes();
    TStringList rows;
    auto start = Clock::now();
    ads.ExecuteSearch(rows);
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    long after = bench::PeakKilobytes();
    std::printf(
        "ExecuteSearch over %d objects, RowCount 100: %.3f s, %d rows, peak memory +%.1f MB\n",
        objects, seconds, rows.Count(), (after - before) / 1e3);
    std::filesystem::remove(file);
    return rows.Count() == objects ? 0 : 1;
}
