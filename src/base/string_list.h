// An ordered list of 8-bit strings, each with an optional attached object.
#pragma once

#include "base/ansi_string.h"
#include "base/file_io.h"

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <vector>

namespace kestrune {

// Base of anything attached to a string list entry.
class TObject {
  public:
    virtual ~TObject() = default;
};

class TStringList {
  public:
    TStringList() = default;
    TStringList(const TStringList&) = delete;
    TStringList& operator=(const TStringList&) = delete;
    ~TStringList();

    int Count() const { return static_cast<int>(items_.size()); }
    const AnsiString& operator[](int index) const { return items_.at(index).text; }
    const AnsiString& Strings(int index) const { return items_.at(index).text; }
    TObject* Objects(int index) const { return items_.at(index).object; }
    void PutObject(int index, TObject* object);
    // Detaches the entry's object and hands it over, whether or not the list owns it; the
    // entry stays, without an object.
    std::unique_ptr<TObject> TakeObject(int index);

    // In sorted mode Add inserts in order and ignores a string equal to one already in the
    // list without regard to case; it returns the index of the entry either way. Switching
    // sorted mode on sorts the entries and keeps them all.
    int Add(const AnsiString& text) { return AddObject(text, nullptr); }
    int AddObject(const AnsiString& text, TObject* object);
    // Not allowed in sorted mode (std::logic_error).
    void Insert(int index, const AnsiString& text) { InsertObject(index, text, nullptr); }
    void InsertObject(int index, const AnsiString& text, TObject* object);
    void Delete(int index);
    void Clear();

    // First entry equal to text without regard to case (locale comparison), or -1.
    int IndexOf(std::string_view text) const;
    // Orders the entries by the user's locale, case ignored.
    void Sort();

    bool Sorted() const { return sorted_; }
    void SetSorted(bool sorted);
    // When set, the list deletes the objects of entries it removes, and all of them with itself.
    bool OwnsObjects() const { return ownsObjects_; }
    void SetOwnsObjects(bool owns) { ownsObjects_ = owns; }

    // The entries joined, each followed by CR LF.
    AnsiString Text() const;
    // Replaces the entries with the lines of the file (CR LF or LF line ends). Throws EFileError.
    void LoadFromFile(const std::filesystem::path& file);
    // Writes every entry followed by CR LF, bytes unchanged. Throws EFileError.
    void SaveToFile(const std::filesystem::path& file) const;
    // Replaces the entries with the lines of text.
    void SetText(std::string_view text);

  private:
    struct Item {
        AnsiString text;
        TObject* object = nullptr;
    };
    void ReleaseObject(TObject* object) const;
    void RebuildKeys();

    std::vector<Item> items_;
    std::vector<std::string> keys_; // collation keys, kept in sorted mode only
    bool sorted_ = false;
    bool ownsObjects_ = false;
};

} // namespace kestrune
