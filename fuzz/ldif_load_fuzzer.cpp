// The LDIF loader: any text is either loaded or refused with a file and line, and whatever
// loads answers searches; a text with a cut-off last record loads with it left out.
#include "fuzz_input.h"
#include "platform/memory_store/memory_store.h"
#include "platform/store/ldif.h"

using namespace kestrune;
using namespace kestrune::store;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    MemoryStore store;
    Status status = store.LoadText(text, "f");
    if (!status.ok() && status.message.rfind("f:", 0) != 0)
        fuzz::Broken("a refusal must name the file and line: " + status.message);
    std::vector<Entry> all;
    if (!SearchAll(store, {"", Scope::Subtree, "(objectClass=*)", {}, 0}, all).ok())
        fuzz::Broken("a loaded store must answer a search of everything");
    if (status.ok() && all.size() + 1 < store.EntryCount())
        fuzz::Broken("entries missing from a search of everything");

    // The reader used for files: an incomplete last record is left out, never half-applied.
    LdifTail tail;
    // Refused or not, what it says of the tail must hold.
    static_cast<void>(ReadLdif(
        text, "f", [](const LdifRecord&) { return Status::Ok(); }, &tail));
    if (tail.torn && (tail.tornOffset >= text.size() || tail.tornLine == 0))
        fuzz::Broken("an incomplete record must lie inside the text");
    return 0;
}
