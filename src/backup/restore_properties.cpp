#include "backup/restore_properties.h"

#include "backup/backup_history.h"
#include "backup/backup_record.h"
#include "base/case_fold.h"
#include "base/file_io.h"
#include "base/sha256.h"
#include "base/win_errors.h"

namespace kestrune {
namespace {

// Paths match as the DFS service matches them: without regard to case, in every script.
std::u16string Folded(const std::string& utf8) {
    return FoldCase(Utf8ToWide(utf8));
}

} // namespace

RecordedProperties::RecordedProperties(NamespaceProperties properties)
    : properties_(std::move(properties)), rootKey_(Folded(properties_.root.path)) {
    links_.Reserve(properties_.links.size());
    for (size_t i = 0; i < properties_.links.size(); ++i)
        links_.Add(Folded(properties_.links[i].path), i);
}

const EntryProperties* RecordedProperties::Entry(const AnsiString& entryPath) const {
    const std::u16string key = CaseKey(entryPath);
    if (key == rootKey_) return &properties_.root;
    // Of links that claim one path, the first recorded.
    const size_t link =
        links_.Find(key, [&](size_t i) { return Folded(properties_.links[i].path) == key; });
    return link == HashedKeyIndex::npos ? nullptr : &properties_.links[link];
}

bool RecordedProperties::NeedsDomains() const {
    if (!properties_.root.manageSddl.empty()) return true;
    for (const EntryProperties& link : properties_.links)
        if (NamesDomainGroups(link.viewSddl)) return true;
    return false;
}

AnsiString RecordedProperties::Domain() const {
    const std::string& root = properties_.root.path; // \\domain\namespace
    const size_t start = root.find_first_not_of('\\');
    if (start == std::string::npos) return {};
    return Utf8ToAnsi(root.substr(start, root.find('\\', start) - start));
}

bool CommentLostCharacters(const AnsiString& lineComment, const EntryProperties* recorded) {
    if (!recorded || !recorded->description) return false;
    const std::u16string description = Utf8ToWide(*recorded->description);
    return WideToAnsi(description) == lineComment && description != AnsiToWide(lineComment);
}

LoadedProperties LoadMatchingProperties(const std::filesystem::path& backupFile) {
    LoadedProperties loaded;
    const std::filesystem::path file = PropertiesFileOf(backupFile);
    std::error_code error;
    // Every backup writes one: a backup file alone was copied or renamed without it, or a
    // replacement was cut short, and the links would otherwise get defaults without a word.
    if (!std::filesystem::exists(file, error)) {
        loaded.warning = "the properties file \"" + FullFileName(file) + "\" is missing";
        return loaded;
    }
    // A pipe or a device there is refused rather than waited on or read without end. Neither
    // file is held whole beside a large namespace's records: the properties are read and the
    // backup file hashed a piece at a time.
    Expected<NamespaceProperties> properties = ReadPropertiesFile(file);
    Sha256 backupHash;
    if (!properties) {
        loaded.warning = properties.error().text;
    } else if (Expected<void> hashed =
                   ReadRegularFileInPieces(backupFile, kMaxBackupFileBytes,
                                           [&](std::string_view piece) { backupHash.Add(piece); });
               !hashed) {
        loaded.warning = hashed.error().text;
    } else if (properties->backupFileSha256 != std::move(backupHash).Hex()) {
        loaded.warning = "the properties file belongs to another version of the backup file";
        loaded.otherVersion.emplace(std::move(*properties));
    } else {
        loaded.recorded.emplace(std::move(*properties));
    }
    if (!loaded.warning.empty()) loaded.warning = Utf8ToAnsi(loaded.warning);
    return loaded;
}

} // namespace kestrune
