// Directory exports of the sample forest, as ldifde and ldapsearch write them, whole and of the
// DFS configuration alone, back up to the same files as the sample itself.
#include "base/file_io.h"
#include "cli/command_line.h"
#include "platform/platform.h"
#include "platform/store/base64.h"
#include "platform/store/dn.h"
#include "platform/store/ldif.h"
#include "support/expect_ok.h"
#include "support/scoped_platform.h"
#include "support/temp_folder.h"
#include "support/test_files.h"

#include <algorithm>
#include <cctype>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

namespace kestrune {
namespace {

using store::Entry;

enum class Shape { Ldifde, Ldapsearch, LdapsearchLLL };

// The sample's entries as an export holds them: no rootDSE, and the values Windows spells its
// own way.
std::vector<Entry> SampleEntries(const std::string& subtree) {
    std::string text = testing::ReadTestFile(std::string(KESTRUNE_SAMPLES) + "/example.ldif");
    std::vector<Entry> entries;
    std::string below = store::NormalizeDn(subtree);
    EXPECT_TRUE(store::ReadLdif(text, "sample", [&](store::LdifRecord& r) {
                    std::string key = store::NormalizeDn(r.entry.dn);
                    if (r.entry.dn.empty()) return store::Status::Ok();
                    if (!below.empty() && key != below && !key.ends_with("," + below))
                        return store::Status::Ok();
                    for (store::Attribute& a : r.entry.attributes)
                        if (a.type == "msDFS-Propertiesv2")
                            for (std::string& v : a.values)
                                for (char& c : v)
                                    c = static_cast<char>(
                                        std::tolower(static_cast<unsigned char>(c)));
                    entries.push_back(std::move(r.entry));
                    return store::Status::Ok();
                }).ok());
    return entries;
}

// Folded as both tools fold: the first line `width` long, each further one a blank and
// width - 1 more.
void AddFolded(std::string& out, const std::string& line, size_t width, const char* end) {
    out += line.substr(0, width) + end;
    for (size_t at = width; at < line.size(); at += width - 1)
        out += " " + line.substr(at, width - 1) + end;
}

// "type: value", or "type:: base64" for a value that is not printable ASCII.
std::string Line(const std::string& type, const std::string& value) {
    bool plain =
        std::all_of(value.begin(), value.end(), [](char c) { return c >= 0x20 && c < 0x7F; }) &&
        (value.empty() || (value[0] != ' ' && value[0] != ':' && value[0] != '<'));
    return plain ? type + ": " + value : type + ":: " + store::Base64Encode(value);
}

// ldifde -f: CR LF, a blank line first, "changetype: add" in every record, lines folded at
// 78 columns, the DN again as an attribute, and no blank line after the last record.
// ldapsearch: "version: 1", comments, the entries in the server's order (here children
// before their parents), lines folded at 76, and its closing block; with -LLL neither the
// version, the comments nor the closing block, a blank line after every entry.
std::string Export(const std::vector<Entry>& entries, Shape shape) {
    const bool ldifde = shape == Shape::Ldifde, plain = shape == Shape::LdapsearchLLL;
    const char* end = ldifde ? "\r\n" : "\n";
    const size_t width = ldifde ? 78 : 76;
    std::string out = ldifde  ? std::string(end)
                      : plain ? std::string()
                              : "version: 1\n\n# extended LDIF\n#\n# LDAPv3\n"
                                "# base <DC=example,DC=com> with scope subtree\n"
                                "# filter: (objectclass=*)\n# requesting: ALL\n#\n\n";
    std::vector<Entry> ordered = entries;
    if (!ldifde) std::reverse(ordered.begin(), ordered.end());
    for (size_t i = 0; i < ordered.size(); ++i) {
        const Entry& e = ordered[i];
        if (!ldifde && !plain) out += "# " + store::RdnValue(store::FirstRdn(e.dn)) + end;
        AddFolded(out, Line("dn", e.dn), width, end);
        if (ldifde) out += std::string("changetype: add") + end;
        for (const store::Attribute& a : e.attributes)
            for (const std::string& v : a.values)
                AddFolded(out, Line(a.type, v), width, end);
        if (ldifde) {
            AddFolded(out, Line("distinguishedName", e.dn), width, end);
            out += std::string("instanceType: 4") + end;
        }
        if (!ldifde || i + 1 < ordered.size()) out += end;
    }
    if (!ldifde && !plain)
        out += "# search result\nsearch: 2\nresult: 0 Success\n\n# numEntries: " +
               std::to_string(ordered.size()) + "\n";
    return out;
}

std::map<std::string, std::string> FilesIn(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& f : std::filesystem::directory_iterator(folder))
        files[f.path().filename().string()] = testing::ReadTestFile(f.path());
    return files;
}

class ExportBackupTest : public ::testing::Test {
  protected:
    // Backs up the domain from the simulated domain in file into folder/name; the exit code.
    int BackUp(const std::filesystem::path& file, const std::string& domain,
               const std::string& name) {
        testing::ScopedSimulatedDomain installed(file);
        EXPECT_OK(installed.installed());
        std::ostringstream out, err;
        return RunCommandLine({"", (folder / name).string(), domain}, {out, err});
    }
    // The sample's own backup of domain, and its exit code.
    std::pair<int, std::map<std::string, std::string>> SampleBackup(const std::string& domain) {
        auto copy = folder / "sample.ldif";
        std::filesystem::remove(copy);
        std::filesystem::copy_file(std::string(KESTRUNE_SAMPLES) + "/example.ldif", copy);
        int code = BackUp(copy, domain, "sample-" + domain);
        return {code, FilesIn(folder / ("sample-" + domain))};
    }

    testing::TempFolder folder;
};

TEST_F(ExportBackupTest, ExportsOfTheSampleBackUpToTheSameFiles) {
    const std::string dfs = "CN=Dfs-Configuration,CN=System,DC=example,DC=com";
    struct Case {
        const char* name;
        Shape shape;
        std::string subtree;
        std::vector<std::string> domains;
    } cases[] = {
        {"ldifde-whole", Shape::Ldifde, "", {"example.com", "sales.example.com"}},
        {"ldapsearch-whole", Shape::Ldapsearch, "", {"example.com", "sales.example.com"}},
        {"ldifde-dfs", Shape::Ldifde, dfs, {"example.com"}},
        {"ldapsearch-dfs", Shape::Ldapsearch, dfs, {"example.com"}},
        {"ldapsearch-LLL-dfs", Shape::LdapsearchLLL, dfs, {"example.com"}},
    };
    std::map<std::string, std::pair<int, std::map<std::string, std::string>>> expected;
    for (const char* domain : {"example.com", "sales.example.com"}) {
        expected[domain] = SampleBackup(domain);
        ASSERT_FALSE(expected[domain].second.empty()) << domain;
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto file = folder / (std::string(c.name) + ".ldf");
        const std::string text = Export(SampleEntries(c.subtree), c.shape);
        testing::WriteTestFile(file, text);
        // A backup only reads the export.
        std::filesystem::permissions(file, std::filesystem::perms::owner_read |
                                               std::filesystem::perms::group_read);
        const auto written = std::filesystem::last_write_time(file);
        for (const std::string& domain : c.domains) {
            std::string name = std::string(c.name) + "-" + domain;
            EXPECT_EQ(BackUp(file, domain, name), expected[domain].first) << domain;
            EXPECT_EQ(FilesIn(folder / name), expected[domain].second) << domain;
        }
        EXPECT_EQ(testing::ReadTestFile(file), text);
        EXPECT_EQ(std::filesystem::last_write_time(file), written);
    }
}

// Cut at every byte of its last record (and of what follows it), an export either backs up to
// the same files as the whole or is refused, naming its file and last line. An ldifde export
// cut exactly at a line's end looks whole and is left out.
TEST_F(ExportBackupTest, AnExportCutShortIsRefusedWithItsLastLine) {
    const auto [code, expected] = SampleBackup("example.com");
    const std::vector<Entry> entries =
        SampleEntries("CN=Dfs-Configuration,CN=System,DC=example,DC=com");
    for (Shape shape : {Shape::Ldifde, Shape::Ldapsearch, Shape::LdapsearchLLL}) {
        const std::string text = Export(entries, shape);
        const size_t lastRecord = text.rfind("\ndn: ") + 1;
        int refused = 0, whole = 0;
        for (size_t at = lastRecord; at <= text.size(); ++at) {
            if (shape == Shape::Ldifde && text[at - 1] == '\n' && at < text.size()) continue;
            SCOPED_TRACE(static_cast<int>(shape));
            SCOPED_TRACE(at);
            const auto file = folder / "cut.ldf";
            testing::WriteTestFile(file, text.substr(0, at));
            Expected<void> installed = InstallSimulatedDomain(file);
            if (!installed) {
                ++refused;
                EXPECT_NE(installed.error().text.find(file.string() + ":"), std::string::npos)
                    << installed.error().text;
                continue;
            }
            UninstallPlatform();
            const std::string name = "cut-" + std::to_string(at);
            EXPECT_EQ(BackUp(file, "example.com", name), code);
            EXPECT_EQ(FilesIn(folder / name), expected);
            ++whole;
            std::filesystem::remove_all(folder / name);
        }
        EXPECT_GT(refused, 0);
        EXPECT_GE(whole, 1); // the export itself
    }
}

} // namespace
} // namespace kestrune
