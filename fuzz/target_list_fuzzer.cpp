// The DFS target list (UTF-16LE XML): any value decodes or is refused without harm, and a
// list written by the program decodes to the targets it was written from.
#include "fuzz_input.h"
#include "platform/dfs_target_list.h"

using namespace kestrune;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::optional<std::vector<std::u16string>> decoded = DecodeTargetList(bytes);
    if (decoded) {
        std::optional<std::vector<std::u16string>> again =
            DecodeTargetList(EncodeTargetList(*decoded));
        if (again != decoded) fuzz::Broken("decoded targets do not survive being written");
    }
    // The input's UTF-16LE units, split at U+0001, as targets of their own.
    std::vector<std::u16string> targets(1);
    for (size_t i = 0; i + 1 < size; i += 2) {
        char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (unit == 1)
            targets.emplace_back();
        else
            targets.back() += unit;
    }
    if (DecodeTargetList(EncodeTargetList(targets)) != targets)
        fuzz::Broken("written targets decode differently");
    return 0;
}
