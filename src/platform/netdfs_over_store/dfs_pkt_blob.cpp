#include "platform/netdfs_over_store/dfs_pkt_blob.h"

#include "base/win_errors.h"
#include "platform/store/guid.h"

#include <cctype>

namespace kestrune {

namespace {

constexpr std::u16string_view kRootName = u"\\domainroot";
constexpr std::u16string_view kSiteName = u"\\siteroot";
constexpr uint32_t kReservedSize = 4;

// Reads the fields of one bounded stretch of the value; every failure names the field and the
// byte (counted from the start of the whole value) where it went wrong.
class Reader {
  public:
    Reader(std::string_view bytes, size_t base) : bytes_(bytes), base_(base) {}

    size_t Offset() const { return base_ + pos_; }
    size_t Left() const { return bytes_.size() - pos_; }

    Expected<std::string_view> Bytes(size_t count, const char* what) {
        if (count > Left())
            return Fail(std::string(what) + " needs " + std::to_string(count) + " bytes, " +
                        std::to_string(Left()) + " are left");
        std::string_view out = bytes_.substr(pos_, count);
        pos_ += count;
        return out;
    }
    template <typename T> Expected<T> Number(const char* what) {
        Expected<std::string_view> raw = Bytes(sizeof(T), what);
        if (!raw) return raw.error();
        T value = 0;
        for (size_t i = sizeof(T); i-- > 0;)
            value = static_cast<T>((value << 8) | static_cast<uint8_t>((*raw)[i]));
        return value;
    }
    // A string of the given size in bytes: UTF-16 with no NUL and no lone surrogate.
    Expected<std::u16string> Text(size_t size, const char* what) {
        size_t at = Offset();
        if (size % 2)
            return Fail(std::string(what) + " has an odd size of " + std::to_string(size));
        Expected<std::string_view> raw = Bytes(size, what);
        if (!raw) return raw.error();
        std::u16string text;
        text.reserve(size / 2);
        for (size_t i = 0; i < size; i += 2)
            text += static_cast<char16_t>(static_cast<uint8_t>((*raw)[i]) |
                                          (static_cast<uint8_t>((*raw)[i + 1]) << 8));
        for (size_t i = 0; i < text.size(); ++i) {
            char16_t c = text[i];
            bool high = c >= 0xD800 && c <= 0xDBFF, low = c >= 0xDC00 && c <= 0xDFFF;
            bool paired =
                high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
            if (c == 0 || low || (high && !paired))
                return Error{ERROR_INVALID_DATA, std::string(what) + " at byte " +
                                                     std::to_string(at + 2 * i) +
                                                     (c == 0 ? " holds a NUL" : " is no UTF-16")};
            if (paired) ++i;
        }
        return text;
    }
    template <typename Size> Expected<std::u16string> SizedText(const char* what) {
        Expected<Size> size = Number<Size>(what);
        if (!size) return size.error();
        return Text(*size, what);
    }
    // The next count bytes as a reader of their own.
    Expected<Reader> Part(size_t count, const char* what) {
        size_t at = Offset();
        Expected<std::string_view> raw = Bytes(count, what);
        if (!raw) return raw.error();
        return Reader(*raw, at);
    }
    // A part must be used up: bytes over mean a size that does not fit what it holds.
    Expected<void> End(const char* what) const {
        if (Left() == 0) return {};
        return Fail(std::string(what) + " leaves " + std::to_string(Left()) + " bytes unread");
    }
    Error Fail(const std::string& why) const {
        return Error{ERROR_INVALID_DATA, why + " at byte " + std::to_string(Offset())};
    }

  private:
    std::string_view bytes_;
    size_t base_;
    size_t pos_ = 0;
};

// Reads a field into var, or returns the reader's error from the function.
#define KESTRUNE_TAKE(var, expr)                                                                   \
    auto var##_read = (expr);                                                                      \
    if (!var##_read) return var##_read.error();                                                    \
    auto var = std::move(*var##_read)

Expected<PktTarget> ReadTarget(Reader& in) {
    KESTRUNE_TAKE(size, in.Number<uint32_t>("a target's size"));
    KESTRUNE_TAKE(body, in.Part(size, "a target"));
    PktTarget t;
    KESTRUNE_TAKE(stamp, body.Number<uint64_t>("a target's time stamp"));
    t.timeStamp = stamp;
    if (t.PriorityClass() > 4) return body.Fail("a target's priority class is unknown");
    KESTRUNE_TAKE(state, body.Number<uint32_t>("a target's state"));
    KESTRUNE_TAKE(type, body.Number<uint32_t>("a target's type"));
    KESTRUNE_TAKE(server, body.SizedText<uint16_t>("a target's server name"));
    KESTRUNE_TAKE(share, body.SizedText<uint16_t>("a target's share name"));
    if (server.empty()) return body.Fail("a target has no server name");
    t.state = state;
    t.type = type;
    t.server = std::move(server);
    t.share = std::move(share);
    if (auto done = body.End("a target"); !done) return done.error();
    return t;
}

Expected<PktEntry> ReadEntry(Reader& in) {
    PktEntry e;
    KESTRUNE_TAKE(guid, in.Bytes(16, "an entry's GUID"));
    e.guid = std::string(guid);
    KESTRUNE_TAKE(prefix, in.SizedText<uint16_t>("an entry's prefix"));
    KESTRUNE_TAKE(shortPrefix, in.SizedText<uint16_t>("an entry's short prefix"));
    if (prefix.size() < 2 || prefix.front() != u'\\' || prefix[1] == u'\\')
        return in.Fail("an entry's prefix is no path with one leading backslash");
    e.prefix = std::move(prefix);
    e.shortPrefix = std::move(shortPrefix);
    KESTRUNE_TAKE(type, in.Number<uint32_t>("an entry's type"));
    KESTRUNE_TAKE(state, in.Number<uint32_t>("an entry's state"));
    KESTRUNE_TAKE(comment, in.SizedText<uint16_t>("an entry's comment"));
    KESTRUNE_TAKE(prefixTime, in.Number<uint64_t>("an entry's prefix time"));
    KESTRUNE_TAKE(stateTime, in.Number<uint64_t>("an entry's state time"));
    KESTRUNE_TAKE(commentTime, in.Number<uint64_t>("an entry's comment time"));
    KESTRUNE_TAKE(version, in.Number<uint32_t>("an entry's version"));
    e.type = type;
    e.state = state;
    e.comment = std::move(comment);
    e.prefixTime = prefixTime;
    e.stateTime = stateTime;
    e.commentTime = commentTime;
    e.version = version;

    KESTRUNE_TAKE(listSize, in.Number<uint32_t>("a target list's size"));
    KESTRUNE_TAKE(list, in.Part(listSize, "a target list"));
    KESTRUNE_TAKE(count, list.Number<uint32_t>("a target count"));
    // Each target takes at least 24 bytes: a count beyond that cannot be true.
    if (count > list.Left() / 24)
        return list.Fail("a target count of " + std::to_string(count) + " overruns its list");
    for (uint32_t i = 0; i < count; ++i) {
        KESTRUNE_TAKE(target, ReadTarget(list));
        e.targets.push_back(std::move(target));
    }
    if (auto done = list.End("a target list"); !done) return done.error();
    KESTRUNE_TAKE(reservedSize, in.Number<uint32_t>("the reserved part's size"));
    if (reservedSize != kReservedSize) return in.Fail("the reserved part is not 4 bytes");
    KESTRUNE_TAKE(reserved, in.Bytes(kReservedSize, "the reserved part"));
    for (size_t i = 0; i < kReservedSize; ++i)
        e.reserved[i] = static_cast<uint8_t>(reserved[i]);
    KESTRUNE_TAKE(ttl, in.Number<uint32_t>("an entry's referral time"));
    e.referralTtl = ttl;
    return e;
}

std::u16string AsciiWide(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

// "\domainroot\<GUID>", the GUID in either case, with or without braces.
bool NamesLink(std::u16string_view name, const std::string& guid) {
    if (name.substr(0, kRootName.size() + 1) != u"\\domainroot\\") return false;
    name.remove_prefix(kRootName.size() + 1);
    if (name.size() == 38 && name.front() == u'{' && name.back() == u'}') name = name.substr(1, 36);
    std::u16string wanted = AsciiWide(store::GuidText(guid));
    if (name.size() != wanted.size()) return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (name[i] > 0x7F || std::tolower(static_cast<int>(name[i])) != wanted[i]) return false;
    return true;
}

} // namespace

uint32_t PktTarget::PriorityClass() const {
    return timeStamp > 0xFF ? 0 : static_cast<uint32_t>(timeStamp >> 5);
}
uint16_t PktTarget::PriorityRank() const {
    return timeStamp > 0xFF ? 0 : static_cast<uint16_t>(timeStamp & 0x1F);
}
uint64_t PktTarget::PriorityStamp(uint32_t priorityClass, uint16_t rank) {
    return (static_cast<uint64_t>(priorityClass & 7) << 5) | (rank & 0x1F);
}

const PktEntry& PktBlob::Root() const {
    for (const PktEntry& e : entries)
        if (e.IsRoot()) return e;
    return entries.front();
}

Expected<PktBlob> DecodePktBlob(std::string_view bytes) {
    Reader in(bytes, 0);
    KESTRUNE_TAKE(version, in.Number<uint32_t>("the version"));
    if (version != 0)
        return Error{ERROR_INVALID_DATA,
                     "version " + std::to_string(version) + " is not the one known (0)"};
    KESTRUNE_TAKE(count, in.Number<uint32_t>("the element count"));
    // An element takes at least 6 bytes.
    if (count > in.Left() / 6)
        return in.Fail("an element count of " + std::to_string(count) + " overruns the value");
    PktBlob blob;
    bool haveRoot = false;
    for (uint32_t i = 0; i < count; ++i) {
        size_t at = in.Offset();
        KESTRUNE_TAKE(name, in.SizedText<uint16_t>("an element's name"));
        KESTRUNE_TAKE(size, in.Number<uint32_t>("an element's size"));
        KESTRUNE_TAKE(data, in.Part(size, "an element"));
        std::string where =
            " (element " + std::to_string(i + 1) + " at byte " + std::to_string(at) + ")";
        if (name == kSiteName) {
            if (blob.siteInformation)
                return Error{ERROR_INVALID_DATA, "a second site table" + where};
            KESTRUNE_TAKE(site, data.Bytes(size, "the site table"));
            if (size < 20) return Error{ERROR_INVALID_DATA, "the site table is cut short" + where};
            blob.siteInformation = std::string(site);
            blob.siteInformationAt = blob.entries.size();
            continue;
        }
        KESTRUNE_TAKE(entry, ReadEntry(data));
        if (auto done = data.End("an element"); !done) return done.error();
        if (entry.IsRoot()) {
            if (name != kRootName)
                return Error{ERROR_INVALID_DATA, "the root is not named \\domainroot" + where};
            if (haveRoot) return Error{ERROR_INVALID_DATA, "a second root" + where};
            haveRoot = true;
        } else {
            if (!NamesLink(name, entry.guid))
                return Error{ERROR_INVALID_DATA, "a link is not named after its GUID " +
                                                     store::GuidText(entry.guid) + where};
            if (PktLinkPath(entry).empty())
                return Error{ERROR_INVALID_DATA, "a link's prefix has no link part" + where};
        }
        blob.entries.push_back(std::move(entry));
    }
    if (auto done = in.End("the value"); !done) return done.error();
    if (!haveRoot) return Error{ERROR_INVALID_DATA, "it holds no root"};
    return blob;
}

#undef KESTRUNE_TAKE

namespace {

class Writer {
  public:
    template <typename T> void Number(T value) {
        for (size_t i = 0; i < sizeof(T); ++i)
            out_ += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    template <typename Size> void SizedText(std::u16string_view text) {
        Number<Size>(static_cast<Size>(text.size() * 2));
        for (char16_t c : text)
            Number<uint16_t>(c);
    }
    void Raw(std::string_view bytes) { out_ += bytes; }
    // Writes a size field, then what the callback writes, then fills the size in.
    template <typename Body> void Sized(Body body) {
        size_t at = out_.size();
        Number<uint32_t>(0);
        body();
        uint32_t size = static_cast<uint32_t>(out_.size() - at - 4);
        for (size_t i = 0; i < 4; ++i)
            out_[at + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
    }
    std::string Take() { return std::move(out_); }

  private:
    std::string out_;
};

void WriteEntry(Writer& w, const PktEntry& e) {
    w.Raw(e.guid);
    w.SizedText<uint16_t>(e.prefix);
    w.SizedText<uint16_t>(e.shortPrefix);
    w.Number(e.type);
    w.Number(e.state);
    w.SizedText<uint16_t>(e.comment);
    w.Number(e.prefixTime);
    w.Number(e.stateTime);
    w.Number(e.commentTime);
    w.Number(e.version);
    w.Sized([&] {
        w.Number(static_cast<uint32_t>(e.targets.size()));
        for (const PktTarget& t : e.targets)
            w.Sized([&] {
                w.Number(t.timeStamp);
                w.Number(t.state);
                w.Number(t.type);
                w.SizedText<uint16_t>(t.server);
                w.SizedText<uint16_t>(t.share);
            });
    });
    w.Number(kReservedSize);
    w.Raw(std::string_view(reinterpret_cast<const char*>(e.reserved.data()), e.reserved.size()));
    w.Number(e.referralTtl);
}

} // namespace

std::string EncodePktBlob(const PktBlob& blob) {
    Writer w;
    w.Number<uint32_t>(0);
    w.Number(static_cast<uint32_t>(blob.entries.size() + (blob.siteInformation ? 1 : 0)));
    for (size_t i = 0; i <= blob.entries.size(); ++i) {
        if (blob.siteInformation && blob.siteInformationAt == i) {
            w.SizedText<uint16_t>(kSiteName);
            w.Sized([&] { w.Raw(*blob.siteInformation); });
        }
        if (i == blob.entries.size()) break;
        const PktEntry& e = blob.entries[i];
        w.SizedText<uint16_t>(e.IsRoot() ? std::u16string(kRootName)
                                         : std::u16string(kRootName) + u"\\" +
                                               AsciiWide(store::GuidText(e.guid)));
        w.Sized([&] { WriteEntry(w, e); });
    }
    return w.Take();
}

std::u16string PktLinkPath(const PktEntry& link) {
    // "\domain\ns\rest": the rest follows the third backslash.
    size_t slash = 0;
    for (int i = 0; i < 3; ++i) {
        slash = link.prefix.find(u'\\', i == 0 ? 0 : slash + 1);
        if (slash == std::u16string::npos) return {};
    }
    return link.prefix.substr(slash + 1);
}

} // namespace kestrune
