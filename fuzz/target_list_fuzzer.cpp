// The DFS target list (XML in UTF-16 or UTF-8): any value decodes or is refused with a reason,
// without harm; a list written by the program decodes to the targets it was written from.
#include "fuzz_input.h"
#include "platform/netdfs_over_store/dfs_target_list.h"

using namespace kestrune;

namespace {

// What a written target reads back as: without the XML white space around it; none when
// nothing else is left.
std::vector<std::u16string> AsRead(const std::vector<std::u16string>& targets) {
    std::vector<std::u16string> out;
    auto space = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
    for (const std::u16string& t : targets) {
        size_t first = 0, last = t.size();
        while (first < last && space(t[first]))
            ++first;
        while (last > first && space(t[last - 1]))
            --last;
        if (first < last) out.push_back(t.substr(first, last - first));
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Expected<std::vector<std::u16string>> decoded = DecodeTargetList(bytes);
    if (decoded) {
        Expected<std::vector<std::u16string>> again = DecodeTargetList(EncodeTargetList(*decoded));
        if (!again || *again != *decoded)
            fuzz::Broken("decoded targets do not survive being written");
    } else if (decoded.error().text.empty()) {
        fuzz::Broken("a refusal without a reason");
    }
    // The input's UTF-16LE units, split at U+0001, as targets of their own; a NUL, which no
    // target holds, is left out.
    std::vector<std::u16string> targets(1);
    for (size_t i = 0; i + 1 < size; i += 2) {
        char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (unit == 1)
            targets.emplace_back();
        else if (unit != 0)
            targets.back() += unit;
    }
    Expected<std::vector<std::u16string>> written = DecodeTargetList(EncodeTargetList(targets));
    if (!written || *written != AsRead(targets)) fuzz::Broken("written targets decode differently");
    return 0;
}
