#include "platform/memory_store/journal.h"

#include "base/paths.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <utility>

namespace kestrune::store {
namespace {

std::function<void(const std::string&)>& WarningSink() {
    static std::function<void(const std::string&)> sink;
    return sink;
}

void Warn(const std::string& text) {
    if (WarningSink())
        WarningSink()(text);
    else
        std::fprintf(stderr, "kestrune: %s\n", text.c_str());
}

Status FileFailure(const char* what, const std::filesystem::path& file, const Error& error) {
    return {ResultCode::Unavailable,
            std::string(what) + " \"" + FullFileName(file) + "\": " + error.text, error.code};
}

// How much of the file is read at once.
constexpr size_t kReadBlock = size_t(1) << 20;

// Where the text's last blank line ends (a record ends there), or 0 without one.
size_t AfterLastBlankLine(std::string_view text) {
    for (size_t i = text.size(); i-- > 1;) {
        if (text[i] != '\n') continue;
        if (text[i - 1] == '\n' || (i >= 2 && text[i - 1] == '\r' && text[i - 2] == '\n'))
            return i + 1;
    }
    return 0;
}

} // namespace

void Journal::SetWarningSink(std::function<void(const std::string&)> sink) {
    WarningSink() = std::move(sink);
}

Journal::~Journal() = default;

Expected<void> Journal::Lock(FileLock lock) {
    Expected<void> done = LockFileDescriptor(fd_, lock);
    held_ = done ? lock : FileLock::None;
    return done;
}

Status Journal::Open(const std::filesystem::path& file) {
    file_ = file;
    Expected<FileDescriptor> opened = OpenFileDescriptor(file, O_RDWR | O_APPEND);
    if (!opened && IsWriteRefused(opened.error())) {
        // A domain that cannot be changed can still be read; changes then fail with the reason.
        writeError_ = opened.error();
        opened = OpenFileDescriptor(file, O_RDONLY);
    }
    if (!opened) {
        const Error error = FileError("Cannot open file", file, opened.error());
        return {ResultCode::Unavailable, error.text, error.code};
    }
    fd_ = std::move(*opened);
    // The shared lock waits out a change another program is writing.
    if (Expected<void> locked = Lock(FileLock::Shared); !locked)
        return FileFailure("Cannot lock", file, locked.error());
    Status status = CatchUp();
    (void)Lock(FileLock::None);
    return status;
}

void Journal::Refresh() {
    // Inside Exclusively the file is followed already; once broken, it is no longer.
    if (!fd_.IsOpen() || depth_ > 0 || !broken_.ok() || !Lock(FileLock::Shared)) return;
    // A failure is kept in broken_ and refuses the next change.
    static_cast<void>(CatchUp());
    (void)Lock(FileLock::None);
}

Status Journal::Exclusively(const std::function<Status()>& work) {
    // Leaves the section, and the lock when it took one, however work ends.
    struct Section {
        Journal& journal;
        bool locked;
        ~Section() {
            --journal.depth_;
            if (locked) (void)journal.Lock(FileLock::None);
        }
    };
    if (!fd_.IsOpen() || depth_ > 0) {
        ++depth_;
        Section section{*this, false};
        return work();
    }
    if (!broken_.ok()) return broken_;
    if (Expected<void> locked = Lock(FileLock::Exclusive); !locked)
        return FileFailure("Cannot lock", file_, locked.error());
    ++depth_;
    Section section{*this, true};
    Status status = CatchUp();
    if (!status.ok()) return status;
    return work();
}

Status Journal::Group(const std::function<Status()>& work) {
    if (!fd_.IsOpen() || depth_ > 0) return Exclusively(work);
    grouping_ = true;
    unflushed_ = false;
    struct Ended {
        Journal& journal;
        ~Ended() { journal.grouping_ = false; }
    } ended{*this};
    return Exclusively([&] {
        Status status = work();
        // What work recorded took effect in the store, also when work then failed: it must
        // reach the disk all the same.
        if (Expected<void> synced = unflushed_ ? SyncFileDescriptor(fd_) : Expected<void>();
            !synced) {
            broken_ = FileFailure("Cannot record the change in", file_, synced.error());
            return broken_;
        }
        unflushed_ = false;
        return status;
    });
}

Status Journal::CatchUp() {
    Expected<FileIdentity> identified = IdentifyOpenFile(fd_);
    if (!identified) return FileFailure("Cannot read", file_, identified.error());
    const FileIdentity open = *identified;
    identified = IdentifyNamedFile(file_);
    if (!identified) return FileFailure("Cannot open", file_, identified.error());
    const FileIdentity named = *identified;
    // Records are only ever appended; anything else means the file is not the one loaded.
    if (named.index != open.index || named.volume != open.volume || open.size < read_) {
        broken_ = {ResultCode::Unavailable,
                   "\"" + FullFileName(file_) +
                       "\" was replaced or shortened by another program; open it again",
                   0};
        return broken_;
    }
    uint64_t size = open.size;
    if (size == read_) return Status::Ok();
    // The records are read a block at a time, each block cut after its last complete record,
    // so that a large file is never held whole beside the entries made of it.
    const bool loaded = read_ > 0;
    size_t capacity = static_cast<size_t>(std::min<uint64_t>(kReadBlock, size - read_));
    auto buffer = std::make_unique_for_overwrite<char[]>(capacity);
    size_t filled = 0; // bytes read and not yet applied
    uint64_t at = read_;
    for (bool last = false; !last;) {
        if (filled == capacity) {
            // One record longer than the buffer: room for more of it.
            auto bigger = std::make_unique_for_overwrite<char[]>(capacity * 2);
            std::memcpy(bigger.get(), buffer.get(), filled);
            buffer = std::move(bigger);
            capacity *= 2;
        }
        size_t want = static_cast<size_t>(std::min<uint64_t>(capacity - filled, size - at));
        for (size_t done = 0; done < want;) {
            Expected<size_t> n = ReadFileAt(fd_, buffer.get() + filled, want - done, at);
            if (!n) return FileFailure("Cannot read", file_, n.error());
            if (*n == 0) {
                size = at; // shortened meanwhile: the next look finds out
                break;
            }
            done += *n;
            filled += *n;
            at += *n;
        }
        last = at >= size;
        std::string_view text(buffer.get(), filled);
        size_t cut = last ? text.size() : AfterLastBlankLine(text);
        if (cut == 0) continue; // no whole record yet: read on
        std::string_view piece = text.substr(0, cut);
        LdifTail where;
        where.firstLine = nextLine_;
        where.appended = appended_;
        Status status = ReadLdif(piece, AnsiFromPath(file_), apply_, &where);
        appended_ = where.appended;
        if (!status.ok()) {
            // Some of the records may be in; the file and the store no longer agree.
            if (loaded) broken_ = status;
            return status;
        }
        uint64_t end = where.torn ? read_ + where.tornOffset : read_ + piece.size();
        if (where.torn) {
            // A program died while appending this record: it never reported the change done.
            std::string line = AnsiFromPath(file_) + ":" + std::to_string(where.tornLine) + ": ";
            if (held_ == FileLock::Exclusive && !writeError_) {
                // Removed before anything is appended, or it would stand in the middle.
                if (Expected<void> cut = TruncateFileDescriptor(fd_, end); !cut)
                    return FileFailure("Cannot record the change in", file_, cut.error());
                Warn(line + "the last change record was cut short when it was written; removed");
            } else if (warnedAt_ != end) {
                Warn(line + "the last change record was cut short when it was written; left out");
            }
            warnedAt_ = end;
        }
        nextLine_ += static_cast<size_t>(
            std::count(piece.begin(), piece.begin() + static_cast<ptrdiff_t>(end - read_), '\n'));
        read_ = end;
        std::memmove(buffer.get(), buffer.get() + cut, filled - cut);
        filled -= cut;
    }
    return Status::Ok();
}

std::string Journal::Separator() const {
    char last[3] = {};
    size_t n = static_cast<size_t>(std::min<uint64_t>(read_, 3));
    if (n == 0) return {};
    if (ReadFileAt(fd_, last + 3 - n, n, read_ - n).value_or(0) != n) return "\n\n";
    std::string_view end(last, 3);
    if (end.ends_with("\n\n") || end.ends_with("\n\r\n")) return {};
    return end.ends_with("\n") ? "\n" : "\n\n";
}

Status Journal::Record(const std::string& ldif) {
    if (!fd_.IsOpen()) return Status::Ok();
    if (writeError_) return FileFailure("Cannot record the change in", file_, *writeError_);
    // The first record this program appends is preceded by the marker that tells the file's
    // own content from the records appended to it.
    std::string text =
        Separator() + (appended_ ? std::string() : std::string(kChangeRecordMarker) + "\n") + ldif;
    // The change counts as made only once it is on the disk.
    Expected<void> written = WriteAll(fd_, text);
    if (written && !grouping_) written = SyncFileDescriptor(fd_);
    if (!written) {
        // A partial record would be dropped by the next load; cut it off now all the same.
        if (Expected<void> cut = TruncateFileDescriptor(fd_, read_); !cut)
            broken_ = FileFailure("Cannot record the change in", file_, cut.error());
        return FileFailure("Cannot record the change in", file_, written.error());
    }
    nextLine_ += static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    read_ += text.size();
    appended_ = true;
    unflushed_ = grouping_;
    return Status::Ok();
}

} // namespace kestrune::store
