// The directory component over many objects: a paged search (RowCount 100), all users of
// 2,000 nested groups, and the enumeration of one large container.
//   directory_bench [USERS]   (default 100000 users in one container)
#include "directory/tntads.h"
#include "namespace_ldif.h"
#include "platform/memory_store/memory_store.h"
#include "platform/platform.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace kestrune;
using Clock = std::chrono::steady_clock;
constexpr int kGroups = 2000;

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
        // Groups nested as a binary tree (the last one holds the first again: a cycle), the
        // users spread over them.
        out << "dn: OU=Groups,DC=bench,DC=test\nobjectClass: top\nobjectClass: "
               "organizationalUnit\n\n";
        const int perGroup = (objects + kGroups - 1) / kGroups;
        for (int g = 0; g < kGroups; ++g) {
            out << "dn: CN=group" << g
                << ",OU=Groups,DC=bench,DC=test\nobjectClass: top\nobjectClass: group\n";
            for (int u = g * perGroup; u < std::min(objects, (g + 1) * perGroup); ++u)
                out << "member: CN=user" << u << ",CN=Users,DC=bench,DC=test\n";
            for (int child : {2 * g + 1, 2 * g + 2})
                if (child < kGroups)
                    out << "member: CN=group" << child << ",OU=Groups,DC=bench,DC=test\n";
            if (g == kGroups - 1) out << "member: CN=group0,OU=Groups,DC=bench,DC=test\n";
            out << "\n";
        }
    }
    std::string error;
    auto opened = store::MemoryStore::Open(file);
    error = opened ? std::string() : opened.error().text;
    std::shared_ptr<store::MemoryStore> directory = opened ? std::move(*opened) : nullptr;
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

    start = Clock::now();
    std::unique_ptr<TStringList> users(
        ads.GetAllusers("LDAP://CN=group0,OU=Groups,DC=bench,DC=test"));
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("GetAllusers over %d nested groups: %.3f s, %d users\n", kGroups, seconds,
                users->Count());

    ads.SetADSPath("CN=Users,DC=bench,DC=test");
    auto container = ads.OpenContainer();
    start = Clock::now();
    std::unique_ptr<TStringList> children(ads.EnumerateContainer(*container));
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("EnumerateContainer over %d children: %.3f s\n", children->Count(), seconds);

    std::filesystem::remove(file);
    return rows.Count() == objects && users->Count() == objects && children->Count() == objects ? 0
                                                                                                : 1;
}
