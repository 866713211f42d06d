#include "base/paths.h"
#include "base/string_list.h"
#include "support/temp_folder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <unistd.h>

namespace kestrune {
namespace {

std::vector<std::string> Items(const TStringList& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(list[i]);
    return out;
}

class Counted : public TObject {
  public:
    explicit Counted(int& alive) : alive_(alive) { ++alive_; }
    ~Counted() override { --alive_; }

  private:
    int& alive_;
};

TEST(StringList, SortsByLocaleWithoutRegardToCase) {
    TStringList list;
    for (const char* s : {"mid", "Zeta", "alpha", "Beta", "a.txt"})
        list.Add(s);
    list.Sort();
    EXPECT_EQ(Items(list), (std::vector<std::string>{"a.txt", "alpha", "Beta", "mid", "Zeta"}));
    EXPECT_EQ(list.IndexOf("BETA"), 2);
    EXPECT_EQ(list.IndexOf("gamma"), -1);
}

// A long list in scrambled order: every entry lands in its place with its object, and equal
// entries keep their order.
TEST(StringList, SortsALongListKeepingObjectsAndTheOrderOfEqualEntries) {
    TStringList list;
    list.SetOwnsObjects(true);
    int alive = 0;
    // Long enough that the keys fill more than one block.
    const int count = 30000;
    const std::string padding(100, '-');
    std::vector<std::string> expected;
    for (int i = 0; i < count; ++i) {
        int n = (i * 7919) % count; // each of 0..count-1 once, scrambled
        std::string text = padding + std::to_string(100000 + n / 2) + (n % 2 ? " B" : " b");
        list.AddObject(text, new Counted(alive));
        expected.push_back(text);
    }
    std::map<std::string, TObject*> objectOf;
    for (int i = 0; i < list.Count(); ++i)
        objectOf[list[i]] = list.Objects(i);
    list.Sort();
    EXPECT_EQ(alive, count);
    // "b" and "B" are equal without regard to case: they stay in the order they were added.
    std::stable_sort(expected.begin(), expected.end(),
                     [](const std::string& a, const std::string& b) {
                         return a.substr(0, 106) < b.substr(0, 106);
                     });
    EXPECT_EQ(Items(list), expected);
    for (int i = 0; i < list.Count(); ++i)
        EXPECT_EQ(list.Objects(i), objectOf[list[i]]) << list[i];
}

TEST(StringList, SortedModeInsertsInOrderAndIgnoresCaseDuplicates) {
    TStringList list;
    list.SetSorted(true);
    EXPECT_EQ(list.Add("Sales"), 0);
    EXPECT_EQ(list.Add("archive"), 0);
    EXPECT_EQ(list.Add("Public"), 1);
    EXPECT_EQ(list.Add("SALES"), 2); // equal without regard to case: kept once
    EXPECT_EQ(Items(list), (std::vector<std::string>{"archive", "Public", "Sales"}));
    EXPECT_EQ(list.IndexOf("public"), 1);
    EXPECT_THROW(list.Insert(0, "x"), std::logic_error);

    TStringList plain;
    for (const char* s : {"b", "A", "a", "B"})
        plain.Add(s);
    plain.SetSorted(true); // sorts, keeps what is there, and checks only later adds
    EXPECT_EQ(plain.Count(), 4);
    EXPECT_EQ(plain.Add("A"), 0);
    EXPECT_EQ(plain.Count(), 4);
}

TEST(StringList, OwnedObjectsAreReleasedWithTheirEntries) {
    int alive = 0;
    {
        TStringList list;
        list.SetOwnsObjects(true);
        list.SetSorted(true);
        list.AddObject("one", new Counted(alive));
        list.AddObject("ONE", new Counted(alive)); // ignored duplicate: its object goes too
        list.AddObject("two", new Counted(alive));
        EXPECT_EQ(alive, 2);
        list.Delete(0);
        EXPECT_EQ(alive, 1);
    }
    EXPECT_EQ(alive, 0);
}

TEST(StringList, SavesCrLfAfterEveryLineAndLoadsCrLfOrLf) {
    testing::TempFolder scratch;
    auto file = scratch / "list.txt";
    TStringList list;
    list.Add("first \"quoted\"");
    list.Add("");
    list.Add("caf\xe9");
    list.SaveToFile(file);
    {
        std::ifstream in(file, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        EXPECT_EQ(bytes.str(), "first \"quoted\"\r\n\r\ncaf\xe9\r\n");
    }

    {
        std::ofstream out(file, std::ios::binary);
        out << "a\nb\r\nc";
    }
    TStringList loaded;
    loaded.LoadFromFile(file);
    EXPECT_EQ(Items(loaded), (std::vector<std::string>{"a", "b", "c"}));
    std::filesystem::remove(file);

    TStringList empty;
    empty.SaveToFile(file);
    EXPECT_EQ(std::filesystem::file_size(file), 0u);
    std::filesystem::remove(file);
    try {
        empty.LoadFromFile(file);
        FAIL() << "a missing file must throw";
    } catch (const EFileError& e) {
        EXPECT_NE(std::string(e.what()).find(AnsiFromPath(file)), std::string::npos);
    }
}

} // namespace
} // namespace kestrune
