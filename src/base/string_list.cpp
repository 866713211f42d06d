#include "base/string_list.h"

#include "base/collation.h"
#include "base/file_io.h"
#include "base/large_block.h"

#include <algorithm>
#include <numeric>
#include <string_view>

namespace kestrune {

TStringList::~TStringList() {
    Clear();
}

void TStringList::ReleaseObject(TObject* object) const {
    if (ownsObjects_) delete object;
}

void TStringList::PutObject(int index, TObject* object) {
    Item& item = items_.at(index);
    if (item.object != object) ReleaseObject(item.object);
    item.object = object;
}

std::unique_ptr<TObject> TStringList::TakeObject(int index) {
    Item& item = items_.at(index);
    std::unique_ptr<TObject> object(item.object);
    item.object = nullptr;
    return object;
}

int TStringList::AddObject(const AnsiString& text, TObject* object) {
    if (!sorted_) {
        items_.push_back({text, object});
        return Count() - 1;
    }
    std::string key = CollationKey(text);
    auto at = std::lower_bound(keys_.begin(), keys_.end(), key);
    int index = static_cast<int>(at - keys_.begin());
    if (at != keys_.end() && *at == key) {
        // An equal entry is already there: keep it, and do not leak the new object.
        if (object != items_[index].object) ReleaseObject(object);
        return index;
    }
    keys_.insert(at, std::move(key));
    items_.insert(items_.begin() + index, {text, object});
    return index;
}

void TStringList::InsertObject(int index, const AnsiString& text, TObject* object) {
    if (sorted_) throw std::logic_error("Operation not allowed on sorted list");
    if (index < 0 || index > Count()) throw std::out_of_range("List index out of bounds");
    items_.insert(items_.begin() + index, {text, object});
}

void TStringList::Delete(int index) {
    if (index < 0 || index >= Count()) throw std::out_of_range("List index out of bounds");
    ReleaseObject(items_[index].object);
    items_.erase(items_.begin() + index);
    if (sorted_) keys_.erase(keys_.begin() + index);
}

void TStringList::Clear() {
    for (Item& item : items_)
        ReleaseObject(item.object);
    items_.clear();
    keys_.clear();
}

int TStringList::IndexOf(std::string_view text) const {
    if (sorted_) {
        std::string key = CollationKey(text);
        auto at = std::lower_bound(keys_.begin(), keys_.end(), key);
        return at != keys_.end() && *at == key ? static_cast<int>(at - keys_.begin()) : -1;
    }
    for (int i = 0; i < Count(); ++i)
        if (CompareText(items_[i].text, text) == 0) return i;
    return -1;
}

void TStringList::Sort() {
    if (sorted_) return; // already in order
    // The keys side by side in blocks that never move: a long list sorts without a string
    // (and its slack) per entry, and fills its keys a huge page at a time.
    std::vector<LargeBlock> blocks;
    char* next = nullptr;
    size_t left = 0;
    std::vector<std::string_view> keys;
    keys.reserve(items_.size());
    for (const Item& item : items_) {
        std::string key = CollationKey(item.text);
        if (key.size() > left) {
            left = std::max(kHugePageSize, key.size());
            blocks.push_back(NewLargeBlock(left));
            next = blocks.back().get();
        }
        std::copy(key.begin(), key.end(), next);
        keys.emplace_back(next, key.size());
        next += key.size();
        left -= key.size();
    }
    std::vector<size_t> order(items_.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return keys[a] < keys[b]; });
    // Each entry moves to its place along the cycles of the order, without a second list.
    for (size_t i = 0; i < order.size(); ++i) {
        if (order[i] == i) continue;
        Item held = std::move(items_[i]);
        size_t at = i;
        for (size_t from = order[at]; from != i; from = order[at]) {
            items_[at] = std::move(items_[from]);
            order[at] = at;
            at = from;
        }
        items_[at] = std::move(held);
        order[at] = at;
    }
}

void TStringList::RebuildKeys() {
    keys_.clear();
    keys_.reserve(items_.size());
    for (const Item& item : items_)
        keys_.push_back(CollationKey(item.text));
}

void TStringList::SetSorted(bool sorted) {
    if (sorted == sorted_) return;
    if (sorted) {
        // Entries already in the list stay, equal ones included; only later adds are checked.
        Sort();
        sorted_ = true;
        RebuildKeys();
    } else {
        sorted_ = false;
        keys_.clear();
    }
}

AnsiString TStringList::Text() const {
    AnsiString text;
    size_t size = 0;
    for (const Item& item : items_)
        size += item.text.size() + 2;
    text.reserve(size);
    for (const Item& item : items_) {
        text += item.text;
        text += "\r\n";
    }
    return text;
}

void TStringList::SetText(std::string_view text) {
    if (sorted_) keys_.clear();
    Clear();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        size_t next = end == std::string_view::npos ? text.size() : end + 1;
        size_t stop = end == std::string_view::npos ? text.size() : end;
        if (stop > start && text[stop - 1] == '\r') --stop;
        std::string line(text.substr(start, stop - start));
        if (sorted_)
            Add(line);
        else
            items_.push_back({std::move(line), nullptr});
        start = next;
    }
}

void TStringList::LoadFromFile(const std::filesystem::path& file) {
    SetText(OrThrowFileError(ReadWholeFile(file)));
}

void TStringList::SaveToFile(const std::filesystem::path& file) const {
    OrThrowFileError(ReplaceFileContents(file, Text()));
}

} // namespace kestrune
