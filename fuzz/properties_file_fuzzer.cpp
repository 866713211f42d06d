// The properties file beside a backup file: any bytes are read or refused with a reason,
// without harm; a file the program writes from what it read reads back the same.
#include "backup/properties_file.h"
#include "fuzz_input.h"

#include <cstdlib>

using namespace kestrune;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Expected<NamespaceProperties> read = ParsePropertiesFile(bytes);
    if (!read) {
        if (read.error().text.empty()) std::abort(); // a refusal always says why
        return 0;
    }
    const std::string written = FormatPropertiesFile(*read);
    Expected<NamespaceProperties> again = ParsePropertiesFile(written);
    if (!again || FormatPropertiesFile(*again) != written) std::abort();
    return 0;
}
