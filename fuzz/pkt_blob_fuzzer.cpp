// The pKT value of a Windows 2000 mode namespace: any bytes decode or are refused with a
// reason, without harm; what decodes is written back as a value that reads as the same
// namespace and is written again to the same bytes.
#include "fuzz_input.h"
#include "platform/netdfs_over_store/dfs_pkt_blob.h"

using namespace kestrune;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Expected<PktBlob> decoded = DecodePktBlob(bytes);
    if (!decoded) {
        if (decoded.error().text.empty()) fuzz::Broken("a refusal without a reason");
        return 0;
    }
    // Only the spelling of a link's GUID in its element name may change: braces are dropped.
    std::string written = EncodePktBlob(*decoded);
    if (written.size() > bytes.size() ||
        bytes.size() - written.size() > 4 * decoded->entries.size())
        fuzz::Broken("a written namespace differs in size from the one read");
    Expected<PktBlob> again = DecodePktBlob(written);
    if (!again || !(*again == *decoded))
        fuzz::Broken("a decoded namespace does not survive being written");
    if (EncodePktBlob(*again) != written) fuzz::Broken("a namespace is written two ways");
    return 0;
}
