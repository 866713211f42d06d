// The LDIF file under a memory store, shared with other programs: its records are taken in as
// they are appended, and each change of this program is appended (and flushed to the disk)
// before it takes effect. A change is decided and appended under an exclusive lock of the
// file, after taking in what the others appended. The file's own content (as it was made or
// exported) is taken whole; only what the journal appended, after its marker, can be a record
// cut short by a crash.
#pragma once

#include "base/file_io.h"
#include "platform/store/directory_store.h"
#include "platform/store/ldif.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

namespace kestrune::store {

class Journal {
  public:
    // Takes one record of the file into the store; may take the record's contents.
    using Apply = std::function<Status(LdifRecord&)>;

    // Without a file until Open: nothing is recorded, and Exclusively simply runs its work.
    explicit Journal(Apply apply) : apply_(std::move(apply)) {}
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Opens the file and applies every record in it. A file that cannot be written is read:
    // changes then fail with the reason. The message names the file (and the line).
    Status Open(const std::filesystem::path& file);

    // Applies what other programs appended since the last look. A failure is kept (the next
    // change is refused with it); what the store holds still answers.
    void Refresh();
    // Runs work under the file's exclusive lock, after applying what others appended: what
    // work reads is still so when it records its changes. Calls inside work just run.
    Status Exclusively(const std::function<Status()>& work);
    // Runs work as Exclusively does, but the changes it records are flushed to the disk once, at
    // its end, not one by one: a change made inside is on the disk only when this succeeds. A
    // flush that fails leaves the store holding changes the disk may not: the journal is broken
    // then, and later changes are refused. Inside Exclusively or another group it just runs work.
    Status Group(const std::function<Status()>& work);
    // Appends one change record and flushes it to the disk (inside Group: at the group's end);
    // the change may take effect only when this succeeds. Only inside Exclusively.
    Status Record(const std::string& ldif);

    // Whether the file holds change records this program appended, and the number of its last
    // line, as far as it was read.
    bool HasAppended() const { return appended_; }
    size_t LastLine() const { return nextLine_ - 1; }

    // Where warnings go (a record cut short when it was written, left out): standard error
    // unless set; an empty sink restores that.
    static void SetWarningSink(std::function<void(const std::string&)> sink);

  private:
    // Applies the records others appended since the file was last read. Under the exclusive
    // lock, it also removes a record cut short by a program that died writing it.
    Status CatchUp();
    // What must come before the next record: the file may not end in a blank line.
    std::string Separator() const;
    Expected<void> Lock(FileLock lock);

    Apply apply_;
    std::filesystem::path file_;
    FileDescriptor fd_;
    FileLock held_ = FileLock::None;
    std::optional<Error> writeError_; // why the file could only be opened for reading
    uint64_t read_ = 0;              // bytes of the file applied: all but an incomplete last record
    size_t nextLine_ = 1;            // the line number at read_
    bool appended_ = false;          // read_ is past the change-record marker
    uint64_t warnedAt_ = UINT64_MAX; // where the incomplete record last warned about begins
    int depth_ = 0;                  // of Exclusively calls in progress
    bool grouping_ = false;          // inside Group: records are flushed at its end
    bool unflushed_ = false;         // records appended in this group and not yet flushed
    Status broken_;                  // why the file can no longer be followed (changes then fail)
};

} // namespace kestrune::store
