// Loading a large simulated namespace and enumerating it through the DFS component.
//   dfs_bench [LINKS]   (default 50000 links of 2 targets each)
// Prints the file size, the load time, the enumeration time and the peak memory.
#include "dfs/toxldfs.h"
#include "namespace_ldif.h"
#include "platform/memory_store/memory_store.h"
#include "platform/netdfs_over_store/netdfs_over_store.h"

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

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

} // namespace

int main(int argc, char** argv) {
    int links = argc > 1 ? std::atoi(argv[1]) : 50000;
    auto file = std::filesystem::temp_directory_path() /
                ("kestrune_bench_" + std::to_string(getpid()) + ".ldif");
    bench::WriteNamespaceLdif(file, links);
    double megabytes = std::filesystem::file_size(file) / 1e6;
    long before = bench::PeakKilobytes();

    auto start = Clock::now();
    std::string error;
    auto opened = store::MemoryStore::Open(file);
    error = opened ? std::string() : opened.error().text;
    std::shared_ptr<store::MemoryStore> store = opened ? std::move(*opened) : nullptr;
    double loadSeconds = Seconds(start);
    long loadedPeak = bench::PeakKilobytes();
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
    long peak = bench::PeakKilobytes();

    std::printf("links                 %d\n", links);
    std::printf("LDIF file             %.1f MB\n", megabytes);
    std::printf("load                  %.3f s, peak %.1f MB\n", loadSeconds, loadedPeak / 1024.0);
    std::printf("EnumLinks             %.3f s (%ld targets reported, LastError %u)\n", enumSeconds,
                reports, dfs.LastError());
    std::printf("peak memory           %.1f MB (%.1f x the file; %.1f MB before loading)\n",
                peak / 1e3, peak / 1e3 / megabytes, before / 1e3);
    std::filesystem::remove(file);
    return reports == 2L * links + 1 ? 0 : 1;
}
