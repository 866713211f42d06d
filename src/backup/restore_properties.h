// The recorded properties a restore gives the links it creates and the targets it adds: read
// from the properties file beside the backup file when it belongs to that file, set through the
// DFS component after each target is added.
#pragma once

#include "backup/backup_line.h"
#include "backup/properties_file.h"
#include "backup/property_changes.h"
#include "base/hashed_key_index.h"
#include "base/security_descriptor.h"
#include "dfs/toxldfs.h"

#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>

namespace kestrune {

// The entries (the root and the links) of a properties file by path, without regard to case.
class RecordedProperties {
  public:
    explicit RecordedProperties(NamespaceProperties properties);
    const EntryProperties* Entry(const AnsiString& entryPath) const;
    const NamespaceProperties& All() const { return properties_; }
    // The properties themselves, taken out of a RecordedProperties that is done with.
    NamespaceProperties TakeAll() && { return std::move(properties_); }
    // The SIDs that a domain's group named by alias in the view permissions (DA) stands for:
    // the namespace's domain's, as the directory gives them. Empty until set.
    const DomainSids& Domains() const { return domains_; }
    // Whether some view permissions name a domain's group by alias, or the namespace's
    // management permissions are recorded (its defaults name one), and so need Domains; the
    // domain they mean is the namespace's (the server part of the root's path, 8-bit).
    bool NeedsDomains() const;
    AnsiString Domain() const;
    void SetDomains(DomainSids domains) { domains_ = std::move(domains); }

  private:
    NamespaceProperties properties_;
    DomainSids domains_;
    // The root's folded path; the links' indexes by the hash of theirs, so that a copy or a
    // move stays right and a namespace of many links holds no second copy of its paths.
    std::u16string rootKey_;
    HashedKeyIndex links_;
};

struct LoadedProperties {
    std::optional<RecordedProperties> recorded;
    // Why a properties file that is there is not used (it cannot be read, or it belongs to
    // another version of the backup file), 8-bit text; empty when it is used or there is none.
    // What follows from it is the caller's to say.
    std::string warning;
    // The file when it can be read but records another version of the backup file: its
    // properties are not applied, but its comments (Description, in full) still tell which
    // lines lost characters to the code page.
    std::optional<RecordedProperties> otherVersion;
};

// Whether a backup line's comment is the entry's recorded Description with characters the code
// page cannot hold lost: the Description converts to the line's comment but is not it. False
// without an entry or a Description.
bool CommentLostCharacters(const AnsiString& lineComment, const EntryProperties* recorded);

// The properties file of backupFile (see PropertiesFileOf), when it records the SHA-256 of the
// backup file's bytes as they are now.
LoadedProperties LoadMatchingProperties(const std::filesystem::path& backupFile);

} // namespace kestrune
