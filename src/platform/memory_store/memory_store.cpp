// The memory store as a whole: opening its file, the file's records taken in, and the changes
// made through it.
#include "platform/memory_store/memory_store.h"

#include "base/file_io.h"
#include "base/paths.h"
#include "platform/store/export_ending.h"

#include <algorithm>
#include <fcntl.h>

namespace kestrune::store {
namespace {

// The export's first and last bytes, enough for CheckExportEnding.
Status CheckExportEnds(const std::filesystem::path& file, size_t lastLine) {
    constexpr uint64_t kHead = 4096, kTail = uint64_t(1) << 20;
    Expected<FileDescriptor> fd = OpenFileDescriptor(file, O_RDONLY);
    Expected<FileIdentity> identity = fd ? IdentifyOpenFile(*fd) : fd.error();
    // What could be read was read; the journal said why not.
    if (!identity) return Status::Ok();
    auto read = [&](uint64_t at, uint64_t size) {
        std::string bytes(static_cast<size_t>(size), '\0');
        size_t done = 0;
        while (done < bytes.size()) {
            const size_t n =
                ReadFileAt(*fd, bytes.data() + done, bytes.size() - done, at + done).value_or(0);
            if (n == 0) break;
            done += n;
        }
        bytes.resize(done);
        return bytes;
    };
    const std::string head = read(0, std::min(identity->size, kHead));
    const uint64_t tailSize = std::min(identity->size, kTail);
    const std::string tail = read(identity->size - tailSize, tailSize);
    return CheckExportEnding(head, tail, AnsiFromPath(file), lastLine);
}

} // namespace

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
    // An export (no rootDSE) that this program has not appended to yet is the file as the tool
    // wrote it, and must end as that tool ends a whole one.
    if (status.ok() && !store->tree_.FindKey("") && !store->journal_.HasAppended())
        status = CheckExportEnds(file, store->journal_.LastLine());
    if (status.ok()) status = store->ImplyForest(file);
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
