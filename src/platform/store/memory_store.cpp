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

std::unique_ptr<MemoryStore> MemoryStore::Open(const std::filesystem::path& file,
                                               std::string& error) {
    auto store = std::make_unique<MemoryStore>();
    Status status = store->journal_.Open(file);
    if (!status.ok()) {
        error = status.message;
        return nullptr;
    }
    return store;
}

Status MemoryStore::LoadText(std::string_view text, const std::string& name) {
    return ReadLdif(text, name, [this](LdifRecord& r) { return Apply(r); });
}

Status MemoryStore::Apply(LdifRecord& r) {
    switch (r.kind) {
    case LdifRecord::Kind::Content:
    case LdifRecord::Kind::Add:
        return DoAdd(std::move(r.entry), false);
    case LdifRecord::Kind::Delete:
        return DoDelete(r.entry.dn, false);
    case LdifRecord::Kind::Modify:
        return DoModify(r.entry.dn, r.changes, false);
    case LdifRecord::Kind::ModRdn:
        return DoRename(r.entry.dn, r.newRdn, r.deleteOldRdn, r.newSuperior, false);
    }
    return Status::Ok();
}

Status MemoryStore::Exclusively(const std::function<Status()>& work) {
    return journal_.Exclusively(work);
}

Status MemoryStore::Add(const Entry& entry) {
    return Exclusively([&] { return DoAdd(Entry(entry), true); });
}

Status MemoryStore::Modify(const std::string& dn, const std::vector<Modification>& changes) {
    return Exclusively([&] { return DoModify(dn, changes, true); });
}

Status MemoryStore::Delete(const std::string& dn) {
    return Exclusively([&] { return DoDelete(dn, true); });
}

Status MemoryStore::Rename(const std::string& dn, const std::string& newRdn, bool deleteOldRdn,
                           const std::string& newSuperior) {
    return Exclusively([&] { return DoRename(dn, newRdn, deleteOldRdn, newSuperior, true); });
}

} // namespace kestrune::store
