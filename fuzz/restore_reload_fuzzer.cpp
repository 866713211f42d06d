// A whole restore into a simulated domain file, then a fresh load of the file: the links the
// program holds are exactly what reloads, and every target reported "Restored" is there.
// Input: a backup file.
#include "backup/live_namespaces.h"
#include "backup/restore_run.h"
#include "base/case_fold.h"
#include "base/file_io.h"
#include "base/win_errors.h"
#include "fuzz_input.h"
#include "platform/memory_store/memory_store.h"
#include "platform/netdfs_over_store/netdfs_over_store.h"
#include "platform/platform.h"

using namespace kestrune;

namespace {

// Every entry of the namespace with its comment and targets, as one text; targets counts them.
std::u16string Walk(StoreNetDfs& dfs, size_t& targets) {
    std::u16string out;
    targets = 0;
    uint32_t resume = 0;
    for (;;) {
        uint8_t* buffer = nullptr;
        uint32_t read = 0;
        if (dfs.Enum(u"\\\\example.com\\Public", 3, MAX_PREFERRED_LENGTH, &buffer, &read,
                     &resume) != NERR_Success)
            return out;
        auto* records = reinterpret_cast<DFS_INFO_3*>(buffer);
        for (uint32_t i = 0; i < read; ++i) {
            out += std::u16string(records[i].EntryPath) + u"|" +
                   (records[i].Comment ? records[i].Comment : u"(none)");
            targets += records[i].NumberOfStorages;
            for (uint32_t s = 0; s < records[i].NumberOfStorages; ++s)
                out += u"|" + std::u16string(records[i].Storage[s].ServerName) + u"\\" +
                       records[i].Storage[s].ShareName;
            out += u"\n";
        }
        NetApiBufferFree(buffer);
    }
}

// Whether an entry path lies in example.com's Public namespace, the domain named either way.
bool InPublic(const AnsiString& entryPath) {
    const std::u16string root = FoldCase(AnsiToWide(NamespaceOfEntry(entryPath)));
    return root == u"\\\\example.com\\public" || root == u"\\\\example.com.\\public" ||
           root == u"\\\\example\\public";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string domain = OrThrowFileError(ReadWholeFile(KESTRUNE_FUZZ_DOMAIN));
    std::filesystem::path file = fuzz::ScratchFolder() / "domain.ldif";
    OrThrowFileError(WriteWholeFile(file, domain));
    std::string error;
    auto opened = store::MemoryStore::Open(file);
    error = opened ? std::string() : opened.error().text;
    std::shared_ptr<store::MemoryStore> live = opened ? std::move(*opened) : nullptr;
    if (!live) fuzz::Broken("the domain does not load: " + error);
    InstallStorePlatform(live);
    StoreNetDfs liveDfs(live);
    size_t before = 0;
    Walk(liveDfs, before);

    // The input is the backup file, read as a restore reads one.
    std::filesystem::path backup = fuzz::ScratchFolder() / "backup.txt";
    OrThrowFileError(
        WriteWholeFile(backup, std::string_view(reinterpret_cast<const char*>(data), size)));
    Expected<std::vector<AnsiString>> lines = ReadBackupLines(backup);
    size_t restored = 0;
    if (lines) {
        if (lines->size() > 32) lines->resize(32);
        const std::vector<BackupRecord> records = ParseBackupRecords(*lines);
        TOXLDFS dfs;
        SilentRestoreLog log;
        bool cancel = false;
        RestoreRun run(dfs, log, cancel);
        // Only what went into the Public namespace is walked: a root line of another (or of a
        // namespace that is gone) creates that namespace elsewhere.
        for (const RestoredLine& line : run.Run(AllLines(records)).lines)
            if (line.outcome == RestoredLine::Outcome::Restored &&
                InPublic(records[line.index].Parts()->entryPath))
                ++restored;
    }
    UninstallPlatform();

    auto opened2 = store::MemoryStore::Open(file);
    error = opened2 ? std::string() : opened2.error().text;
    std::shared_ptr<store::MemoryStore> reloaded = opened2 ? std::move(*opened2) : nullptr;
    if (!reloaded) fuzz::Broken("the restored domain does not load: " + error);
    StoreNetDfs reloadedDfs(reloaded);
    size_t heldTargets = 0, readTargets = 0;
    if (Walk(liveDfs, heldTargets) != Walk(reloadedDfs, readTargets))
        fuzz::Broken("the reloaded namespace differs from the one restored into");
    if (readTargets != before + restored)
        fuzz::Broken("a target reported restored is not in the file, or one more is");
    return 0;
}
