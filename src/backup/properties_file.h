// The properties file beside a backup file: <prefix><namespace>.properties.xml, UTF-8 XML that
// keeps what a dfscmd line cannot say (state, referral time, flags, view permissions, target
// state and priority), named as PowerShell's DFSN cmdlets name them. It records the SHA-256 of
// the backup file it belongs to; a reader ignores elements and attributes it does not know.
#pragma once

#include "backup/xml_tags.h"
#include "base/expected.h"
#include "base/hashed_key_index.h"
#include "base/spill_file.h"
#include "netdfs/netdfs_buffer.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace kestrune {

struct TargetProperties {
    std::string targetPath; // \\server\share, UTF-8
    bool online = true;
    uint32_t priorityClass = 0; // DFS_TARGET_PRIORITY_CLASS
    uint32_t priorityRank = 0;

    bool operator==(const TargetProperties&) const = default;
};

struct EntryProperties {
    std::string path; // \\domain\namespace[\link], UTF-8
    std::optional<std::string> description;
    bool online = true;
    uint32_t timeToLiveSec = 0;
    uint32_t flags = 0;   // DFS_PROPERTY_FLAG_*
    std::string viewSddl; // links only; empty: none
    std::vector<TargetProperties> targets;
    // The root only: who may manage the namespace (ManagementPermissions), its anchor's own
    // DACL entries beyond those every namespace has, as SDDL; empty: none.
    std::string manageSddl{};

    bool operator==(const EntryProperties&) const = default;
};

struct NamespaceProperties {
    static constexpr int kFormatVersion = 1;
    std::string backupFileSha256; // of the .txt's bytes, lower-case hex
    EntryProperties root;
    std::vector<EntryProperties> links; // ordered by path, without regard to case

    bool operator==(const NamespaceProperties&) const = default;
};

// A level 9 record as the file keeps it. A security descriptor that cannot be written as SDDL
// is an error naming the entry, never dropped.
Expected<EntryProperties> EntryPropertiesOf(const DFS_INFO_9& record);

// The file's bytes; the links are sorted by path first.
std::string FormatPropertiesFile(const NamespaceProperties& properties);

// Writes a namespace's properties file as its walk reports the entries: each entry becomes its
// element at once, and only where it lies and its sort key are kept, so a large namespace's
// records are never held a second time. Given a file to spill beside, the elements wait on
// disk, a block at a time, while the namespace's lines are sorted (in memory where the disk
// will not take them).
class PropertiesFileBuilder {
  public:
    explicit PropertiesFileBuilder(const std::filesystem::path& spillBeside = {});

    // The first entry added is the namespace's root. An entry whose view permissions cannot be
    // written as SDDL is an error naming it, and is left out.
    Expected<void> Add(const DFS_INFO_9& record);
    void Add(const EntryProperties& entry);
    bool HasRoot() const { return !root_.empty(); }
    // The root's ManagementPermissions, given before the root is added.
    void SetManagementPermissions(std::string sddl) { management_ = std::move(sddl); }
    // How much of it waits on disk.
    uint64_t SpilledBytes() const { return spill_ ? spill_->Size() : 0; }

    // The file's bytes in order, the links sorted by path without regard to case; the pieces
    // stay valid while the builder lives and is not added to. Throws EFileError when spilled
    // elements cannot be read back.
    std::vector<std::string_view> Pieces(std::string_view backupFileSha256);

  private:
    struct Block {
        std::string text; // emptied once spilled
        size_t size = 0;
        uint64_t spilledAt = 0;
        bool spilled = false;
    };
    struct Slot {
        size_t keyAt;
        size_t at;
        uint32_t keySize;
        uint32_t size;
        uint32_t block;
    };
    void Keep(std::string_view path);

    EntryProperties scratch_; // reused: its strings keep their room from entry to entry
    std::string element_;     // the same for the element being written
    std::string head_, root_;
    std::string management_;
    std::vector<Block> blocks_; // the links' elements in walk order; a block never grows
    std::string keys_;          // their paths folded to lower case, side by side
    std::vector<Slot> links_;
    std::unique_ptr<SpillFile> spill_;
};

// The most a properties file may hold: the elements of kMaxBackupFileBytes worth of links,
// each with its view permissions and its targets' states, stay below it.
constexpr uint64_t kMaxPropertiesFileBytes = uint64_t(1) << 30;

// Reads a properties file; an error says what is wrong and where.
Expected<NamespaceProperties> ParsePropertiesFile(std::string_view bytes);

// Reads a file's text as ParsePropertiesFile does, a piece at a time: a piece may end anywhere,
// and only the tag it cuts short is kept for the next. A large namespace's file is never held
// whole beside what is read from it.
class PropertiesFileParser {
  public:
    PropertiesFileParser() = default;
    // It points into what it has read so far.
    PropertiesFileParser(const PropertiesFileParser&) = delete;
    PropertiesFileParser& operator=(const PropertiesFileParser&) = delete;

    // Room for the links, counted beforehand: grown into, a hundred thousand of them would hold
    // up to half as many again unused.
    void ReserveLinks(size_t links) { p_.links.reserve(links); }
    void Add(std::string_view piece);
    // Once the last piece has been added.
    Expected<NamespaceProperties> Finish();

  private:
    // Reads the whole tags in pending_ and says how many of its bytes it is done with; at the
    // last piece a tag cut short is an error.
    size_t Parse(bool last);
    bool Take(const XmlTag& e, XmlTagReader& reader);
    size_t Stop(const XmlTagReader& reader);

    std::string pending_;
    uint64_t consumed_ = 0; // the bytes of the file before pending_
    size_t retryAt_ = 0;    // pending_'s size at which a tag cut short is tried again
    NamespaceProperties p_;
    bool started_ = false;  // inside <DfsnProperties>
    bool haveRoot_ = false; // its <Namespace> read
    bool done_ = false;     // </DfsnProperties> or an error
    std::string error_;
    // The links by the hash of their folded paths, and the open entry's targets' folded paths:
    // a second element for one of them is refused.
    HashedKeyIndex folders_;
    std::unordered_set<std::u16string> targets_;
    EntryProperties* open_ = nullptr; // the <Namespace> or <Folder> whose targets come next
    int unknownDepth_ = 0;            // inside elements a later writer may add
};

// Reads the properties file at file, a piece at a time. A file that cannot be read is refused
// as ReadRegularFile refuses it; a text that cannot be read is "the properties file cannot be
// read (<what is wrong and where>)".
Expected<NamespaceProperties> ReadPropertiesFile(const std::filesystem::path& file);

// PowerShell's names of a priority class ("SiteCostNormal", "GlobalHigh", ...).
std::string_view ReferralPriorityClassName(uint32_t priorityClass);

// PowerShell's name of one DFS_PROPERTY_FLAG_* bit ("EnableInsiteReferrals", ...); empty for a
// bit it does not name.
std::string_view PropertyFlagName(uint32_t flag);

} // namespace kestrune
