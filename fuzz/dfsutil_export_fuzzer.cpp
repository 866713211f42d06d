// Exports of dfsutil root export: any bytes are read or refused with a reason, without harm; an
// export written from what was read reads back as the same lines and properties.
#include "backup/dfsutil_export.h"
#include "fuzz_input.h"

#include <cstdlib>

using namespace kestrune;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    IsDfsutilExport(bytes);
    Expected<DfsutilExport> read = ParseDfsutilExport(bytes);
    if (!read) {
        if (read.error().text.empty()) std::abort(); // a refusal always says why
        return 0;
    }
    Expected<std::string> written = FormatDfsutilExport(read->lines, &read->properties);
    if (!written) std::abort(); // what was read is one namespace with its root
    Expected<DfsutilExport> again = ParseDfsutilExport(*written);
    if (!again) std::abort();
    Expected<std::string> rewritten = FormatDfsutilExport(again->lines, &again->properties);
    if (!rewritten || *rewritten != *written) std::abort();
    return 0;
}
