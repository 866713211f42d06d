#include "platform/memory_store/stored_entry.h"

#include "base/ascii.h"

#include <cstring>

namespace kestrune::store {
namespace {

// The layout: the DN's size and bytes, the number of attributes, then each attribute's type
// number, number of values and each value's size and bytes.
size_t NumberSize(size_t value) {
    size_t size = 1;
    for (; value >= 0x80; value >>= 7)
        ++size;
    return size;
}

char* WriteNumber(char* at, size_t value) {
    for (; value >= 0x80; value >>= 7)
        *at++ = static_cast<char>((value & 0x7F) | 0x80);
    *at++ = static_cast<char>(value);
    return at;
}

char* WriteText(char* at, std::string_view text) {
    at = WriteNumber(at, text.size());
    if (!text.empty()) std::memcpy(at, text.data(), text.size());
    return at + text.size();
}

const char* SkipValues(const char* at, uint32_t count) {
    for (; count > 0; --count) {
        uint32_t size = packed::ReadNumber(at);
        at += size;
    }
    return at;
}

} // namespace

StoredEntry::Attribute StoredEntry::Attributes::Iterator::operator*() const {
    const char* p = at_;
    Attribute a;
    a.type = packed::ReadNumber(p);
    uint32_t count = packed::ReadNumber(p);
    a.values = Values(p, count);
    return a;
}

StoredEntry::Attributes::Iterator& StoredEntry::Attributes::Iterator::operator++() {
    packed::ReadNumber(at_); // the type
    uint32_t count = packed::ReadNumber(at_);
    at_ = SkipValues(at_, count);
    --left_;
    return *this;
}

StoredEntry::StoredEntry(const Entry& entry, AttributeTypes& types, EntryArena& arena) {
    if (entry.dn.empty() && entry.attributes.empty()) return;
    std::vector<uint32_t> ids;
    ids.reserve(entry.attributes.size());
    size_t size =
        NumberSize(entry.dn.size()) + entry.dn.size() + NumberSize(entry.attributes.size());
    for (const store::Attribute& a : entry.attributes) {
        ids.push_back(types.Intern(a.type));
        size += NumberSize(ids.back()) + NumberSize(a.values.size());
        for (const std::string& v : a.values)
            size += NumberSize(v.size()) + v.size();
    }
    char* data = arena.Allocate(size);
    char* at = WriteText(data, entry.dn);
    at = WriteNumber(at, entry.attributes.size());
    for (size_t i = 0; i < entry.attributes.size(); ++i) {
        at = WriteNumber(at, ids[i]);
        at = WriteNumber(at, entry.attributes[i].values.size());
        for (const std::string& v : entry.attributes[i].values)
            at = WriteText(at, v);
    }
    data_ = data;
    size_ = size;
}

std::string_view StoredEntry::Dn() const {
    if (!data_) return {};
    const char* at = data_;
    uint32_t size = packed::ReadNumber(at);
    return {at, size};
}

StoredEntry::Attributes StoredEntry::AllAttributes() const {
    if (!data_) return {nullptr, 0};
    const char* at = data_;
    uint32_t dnSize = packed::ReadNumber(at);
    at += dnSize;
    uint32_t count = packed::ReadNumber(at);
    return {at, count};
}

std::optional<StoredEntry::Values> StoredEntry::Find(const AttributeTypes& types,
                                                     std::string_view type) const {
    for (Attribute a : AllAttributes())
        if (SameTextAscii(types.Name(a.type), type)) return a.values;
    return std::nullopt;
}

Entry StoredEntry::ToEntry(const AttributeTypes& types) const {
    Entry out;
    out.dn = Dn();
    Attributes all = AllAttributes();
    out.attributes.reserve(all.size());
    for (Attribute a : all)
        out.attributes.push_back({std::string(types.Name(a.type)), a.values.Copy()});
    return out;
}

void StoredEntry::SetDn(std::string_view dn, EntryArena& arena) {
    static const char kNoAttributes[] = {0};
    std::string_view attributes(kNoAttributes, 1);
    if (data_) {
        std::string_view old = Dn();
        const char* begin = old.data() + old.size();
        attributes = std::string_view(begin, static_cast<size_t>(data_ + size_ - begin));
    }
    size_t size = NumberSize(dn.size()) + dn.size() + attributes.size();
    char* data = arena.Allocate(size);
    char* at = WriteText(data, dn);
    std::memcpy(at, attributes.data(), attributes.size());
    Release(arena);
    data_ = data;
    size_ = size;
}

void StoredEntry::Release(EntryArena& arena) {
    if (data_) arena.Release(size_);
    data_ = nullptr;
    size_ = 0;
}

void StoredEntry::MoveTo(EntryArena& arena) {
    if (!data_) return;
    char* data = arena.Allocate(size_);
    std::memcpy(data, data_, size_);
    data_ = data;
}

} // namespace kestrune::store
