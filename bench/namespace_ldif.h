// A generated forest with one domain, bench.test, and one namespace, Big, of many links.
#pragma once

#include <filesystem>

namespace kestrune::bench {

// Writes the forest with `links` links of two targets each, a record at a time.
void WriteNamespaceLdif(const std::filesystem::path& file, int links);

// Peak resident memory of this process so far, in kilobytes.
long PeakKilobytes();

} // namespace kestrune::bench
