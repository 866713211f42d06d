// The namespaces as they are now, read through the DFS component, to hold backup lines
// against: entries by path and targets by server and share, case ignored as the DFS service
// ignores it.
#pragma once

#include "backup/backup_record.h"
#include "backup/properties_file.h"
#include "base/hashed_key_index.h"
#include "base/security_descriptor.h"
#include "dfs/toxldfs.h"

#include <deque>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace kestrune {

struct LiveEntry {
    AnsiString path; // as the platform reports it
    AnsiString comment;
    std::vector<AnsiString> targets; // server\share, in the platform's order
};

// "\\domain\namespace" of an entry path; empty when the path names no namespace.
AnsiString NamespaceOfEntry(const AnsiString& entryPath);

// Whether the platform's answer for a namespace says that there is no such namespace.
bool IsNoSuchNamespace(uint32_t status);

class LiveNamespaces {
  public:
    struct ReadFailure {
        AnsiString root; // \\domain\namespace
        uint32_t status = 0;
        std::string error; // the status and the system's text for it
    };

    // Whether the namespaces are read with every property of their entries (the level 9
    // walk); an entry whose properties cannot be kept fails its namespace's reading.
    bool withProperties = false;
    // With properties, the SIDs that tell a namespace's default management entries from
    // those given to someone (see DelegationOf); empty when not known.
    DomainSids domains;

    // Reads every namespace that the backup lines' entry paths name, each once, in the order
    // the lines first name them. Lines that are not backup lines are passed over.
    void ReadNamespacesOf(TOXLDFS& dfs, const std::vector<BackupRecord>& records);
    // Reads one namespace (\\domain\namespace) unless it was read or tried already.
    void Read(TOXLDFS& dfs, const AnsiString& root);

    // The namespaces that were read, and those that could not be (with the platform's text).
    const std::vector<AnsiString>& Namespaces() const { return namespaces_; }
    const std::vector<ReadFailure>& Failures() const { return failures_; }
    // The failure of the namespace an entry path lies in; null when it was read (or never
    // tried).
    const ReadFailure* FailureFor(const AnsiString& entryPath) const;

    const LiveEntry* Find(const AnsiString& entryPath) const;
    // Whether the entry path lies in a namespace the platform reported as Windows 2000 mode
    // (NetDfsGetInfo level 50) and is one that reads such namespaces but does not change them.
    bool IsUnchangeableLegacy(const AnsiString& entryPath) const;
    // The properties of an entry as read (withProperties); null for an entry not read so.
    const EntryProperties* PropertiesOf(const AnsiString& entryPath) const;
    bool HasTarget(const AnsiString& entryPath, const TargetParts& target) const;
    // A link whose path lies above or below the entry path: the platform keeps links from
    // nesting. Null when there is none.
    const LiveEntry* Overlapping(const AnsiString& entryPath) const;

    // Records a target the way the platform reports it: a new entry (with the comment) or a
    // further target of an existing one.
    void Add(const AnsiString& entryPath, const AnsiString& target, const AnsiString& comment);
    // Records the target a restore added for a backup line, so later lines of the same link
    // find it.
    void RecordRestored(const BackupLineParts& line);
    // Records only that an entry is there, without its targets or comment: enough to tell a
    // later path that overlaps it, for a run that keeps hundreds of thousands of lines.
    void RecordEntry(const AnsiString& entryPath);
    // Whether the namespace an entry path lies in was not there when it was read (the platform
    // found no such namespace), as opposed to one that could not be read.
    bool IsGone(const AnsiString& entryPath) const;
    // Records a namespace that was gone as created by a backup line of its root: it is there
    // from now on, with the line's target.
    void RecordCreated(const BackupLineParts& rootLine);
    // Records the targets of a backup file's lines as Add does, so that another file can be held
    // against them as against the live namespaces. Each entry's "/map" line goes first, its
    // target first of the entry's as in the namespace (a file sorts "/add" lines before it).
    // Returns the indexes of the lines that are neither blank nor backup lines.
    std::vector<int> AddBackupLines(const std::vector<BackupRecord>& records);

    // Every entry, in the order read (then added).
    const std::deque<LiveEntry>& Entries() const { return entries_; }
    int TargetCount() const { return targetCount_; }

  private:
    // The entry of a path, added (with the comment) when there is none yet.
    size_t EntryFor(const AnsiString& entryPath, const AnsiString& comment);
    // The entry of a folded path, or npos.
    size_t EntryOf(const std::u16string& folded) const;
    // An entry whose folded path lies below the folded parent path, or npos.
    size_t EntryBelow(const std::u16string& folded) const;

    // Entries by their folded path.
    HashedKeyIndex byPath_;
    // The links' parent folders below the namespace, by their folded path, each with one link
    // under it.
    HashedKeyIndex linkParents_;
    std::unordered_map<std::u16string, EntryProperties> properties_; // folded path
    std::deque<LiveEntry> entries_;
    std::unordered_set<std::u16string> tried_;
    std::unordered_set<std::u16string> unchangeable_; // folded roots
    std::vector<AnsiString> namespaces_;
    std::vector<ReadFailure> failures_;
    int targetCount_ = 0;
};

} // namespace kestrune
