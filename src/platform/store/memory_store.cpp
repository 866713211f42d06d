// The memory store as a whole: opening its file, the file's records taken in, and the changes
// made through it.
#include "platform/store/memory_store.h"

namespace kestrune::store {

void MemoryStore::SetWarningSink(std::function<void(const std::string&)> sink) {
    Journal::SetWarningSink(std::move(sink));
}

MemoryStore::MemoryStore() = default;

MemoryStore::~MemoryStore() {
    OrphanCursors();
}

Expected<std::unique_ptr<MemoryStore>> MemoryStore::Open(const std::filesystem::path& file) {
    auto store = std::make_unique<MemoryStore>();
    Status status = store->journal_.Open(file);
    if (status.ok()) status = store->ImplyForest();
    if (!status.ok()) return Error{static_cast<uint32_t>(status.code), status.message};
    return store;
}

Status MemoryStore::LoadText(std::string_view text, const std::string& name) {
    return ReadLdif(text, name, [this](LdifRecord& r) { return Replay(r); });
}

Status MemoryStore::Exclusively(const std::function<Status()>& work) {
    return journal_.Exclusively(work);
}

Status MemoryStore::InOneGroup(const std::function<Status()>& work) {
    return journal_.Group(work);
}

} // namespace kestrune::store
