#include "platform/netdfs_over_store/netdfs_over_store.h"

#include "base/file_io.h"
#include "base/win_errors.h"
#include "platform/netdfs_over_store/dfs_target_list.h"
#include "support/sample_store_dfs.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>

namespace kestrune {
namespace {

struct Listed {
    std::u16string path;
    std::optional<std::u16string> comment;
    std::vector<std::u16string> targets; // server\share
};

class StoreNetDfsTest : public testing::SampleStoreDfsTest {
  protected:
    // Every record of a level 3 walk, asking for prefMaxLen bytes per call.
    DfsStatus Walk(const std::u16string& name, std::vector<Listed>& out,
                   uint32_t prefMaxLen = MAX_PREFERRED_LENGTH, int* calls = nullptr) {
        uint32_t resume = 0;
        out.clear();
        for (int call = 1;; ++call) {
            uint8_t* buffer = nullptr;
            uint32_t read = 0;
            DfsStatus status = dfs->Enum(name.c_str(), 3, prefMaxLen, &buffer, &read, &resume);
            if (calls) *calls = call;
            if (status != NERR_Success) {
                EXPECT_EQ(buffer, nullptr);
                return status;
            }
            auto* records = reinterpret_cast<DFS_INFO_3*>(buffer);
            for (uint32_t i = 0; i < read; ++i) {
                Listed l{records[i].EntryPath, std::nullopt, {}};
                if (records[i].Comment) l.comment = records[i].Comment;
                for (uint32_t s = 0; s < records[i].NumberOfStorages; ++s)
                    l.targets.push_back(std::u16string(records[i].Storage[s].ServerName) + u"\\" +
                                        records[i].Storage[s].ShareName);
                out.push_back(std::move(l));
            }
            NetApiBufferFree(buffer);
        }
    }

    std::vector<std::u16string> Roots(const std::u16string& domain,
                                      NET_API_STATUS* status = nullptr) {
        uint8_t* buffer = nullptr;
        uint32_t read = 0, resume = 0;
        const DfsStatus s =
            dfs->Enum(domain.c_str(), 200, MAX_PREFERRED_LENGTH, &buffer, &read, &resume);
        if (status) *status = s.code;
        std::vector<std::u16string> names;
        for (uint32_t i = 0; s == NERR_Success && i < read; ++i)
            names.push_back(reinterpret_cast<DFS_INFO_200*>(buffer)[i].FtDfsName);
        NetApiBufferFree(buffer);
        if (s == NERR_Success) {
            EXPECT_EQ(dfs->Enum(domain.c_str(), 200, MAX_PREFERRED_LENGTH, &buffer, &read, &resume),
                      ERROR_NO_MORE_ITEMS);
        }
        return names;
    }

    DfsStatus Add(const std::u16string& entry, const std::u16string& server,
                  const std::u16string& share, const std::u16string& comment, uint32_t flags) {
        return dfs->Add(entry.c_str(), server.c_str(), share.c_str(), comment.c_str(), flags);
    }
};

TEST_F(StoreNetDfsTest, Level200ListsTheNamespacesOfADomainByDnsOrNetbiosName) {
    auto names = Roots(u"\\\\example.com");
    std::sort(names.begin(), names.end());
    // The Windows 2000 mode namespace (an fTDfs object) among the others, as NetDfsEnum lists both.
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Archive", u"Legacy", u"Projets", u"Public",
                                                  u"Users"}));
    EXPECT_EQ(Roots(u"\\\\EXAMPLE").size(), 5u);
    EXPECT_EQ(Roots(u"\\\\Sales.Example.COM"), (std::vector<std::u16string>{u"Sales"}));
    NET_API_STATUS status;
    Roots(u"\\\\nowhere.test", &status);
    EXPECT_EQ(status, ERROR_BAD_NETPATH);
    // The leading backslashes are optional, as documented for a domain name.
    EXPECT_EQ(Roots(u"example.com").size(), 5u);
    Roots(u"\\example.com", &status);
    EXPECT_EQ(status, ERROR_BAD_NETPATH);
}

TEST_F(StoreNetDfsTest, Level3GivesTheRootFirstThenEveryLinkAndEndsWith259) {
    std::vector<Listed> all;
    int calls = 0;
    EXPECT_EQ(Walk(u"\\\\example.com\\Public", all, MAX_PREFERRED_LENGTH, &calls),
              ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(calls, 2);
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[0].path, u"\\\\example.com\\Public");
    EXPECT_EQ(all[0].targets, (std::vector<std::u16string>{u"DC1\\Public", u"DC2\\Public"}));
    std::map<std::u16string, Listed> byPath;
    for (const auto& l : all)
        byPath[l.path] = l;
    const Listed& software = byPath[u"\\\\example.com\\Public\\Software"];
    EXPECT_EQ(software.targets, (std::vector<std::u16string>{u"FS1\\Software", u"FS2\\Software",
                                                             u"FS3\\Software\\Mirror"}));
    EXPECT_EQ(software.comment, u"Installers, \"current\" and older");
    EXPECT_FALSE(byPath[u"\\\\example.com\\Public\\Data\\Projects"].comment.has_value());

    // Small buffers give the same records over more calls; the root comes only once.
    std::vector<Listed> paged;
    EXPECT_EQ(Walk(u"\\\\example.com\\Public", paged, 1, &calls), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(calls, 6);
    ASSERT_EQ(paged.size(), all.size());
    for (size_t i = 0; i < all.size(); ++i)
        EXPECT_EQ(paged[i].path, all[i].path);

    std::vector<Listed> bare;
    EXPECT_EQ(Walk(u"example.com\\Public", bare), ERROR_NO_MORE_ITEMS);
    ASSERT_EQ(bare.size(), all.size());
    EXPECT_EQ(bare[0].path, u"\\\\example.com\\Public");
}

TEST_F(StoreNetDfsTest, UnknownNamespaceOrDomainAndBadArgumentsFail) {
    std::vector<Listed> out;
    EXPECT_EQ(Walk(u"\\\\example.com\\Nope", out), ERROR_NOT_FOUND);
    EXPECT_EQ(Walk(u"\\\\nowhere.test\\Public", out), ERROR_BAD_NETPATH);
    uint8_t* buffer = nullptr;
    uint32_t read = 0, resume = 0;
    EXPECT_EQ(dfs->Enum(u"\\\\example.com", 1, MAX_PREFERRED_LENGTH, &buffer, &read, &resume),
              ERROR_INVALID_LEVEL);
    EXPECT_EQ(Walk(u"\\\\example.com\\Archive", out), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(out.size(), 1u); // only the root of the empty namespace
}

TEST_F(StoreNetDfsTest, AddVolumeFailsOnAnExistingLinkAndFlagsZeroAddsTargets) {
    const std::u16string link = u"\\\\example.com\\Public\\Software";
    EXPECT_EQ(Add(link, u"FS9", u"Software", u"", DFS_ADD_VOLUME), ERROR_FILE_EXISTS);
    EXPECT_EQ(Add(u"\\\\EXAMPLE\\public\\SOFTWARE", u"fs1", u"software", u"", 0),
              ERROR_FILE_EXISTS);
    EXPECT_EQ(Add(link, u"FS9", u"Software", u"ignored comment", 0), NERR_Success);

    EXPECT_EQ(Add(u"\\\\example.com\\Public\\New\\Deep", u"FS1", u"New", u"A \"new\" link",
                  DFS_ADD_VOLUME),
              NERR_Success);
    EXPECT_EQ(Add(u"\\\\example.com\\Public\\Other", u"FS1", u"Other", u"", 0), NERR_Success);

    Reload(); // the changes were kept in the file
    std::vector<Listed> all;
    EXPECT_EQ(Walk(u"\\\\example.com\\Public", all), ERROR_NO_MORE_ITEMS);
    std::map<std::u16string, Listed> byPath;
    for (const auto& l : all)
        byPath[l.path] = l;
    EXPECT_EQ(byPath[link].targets.back(), u"FS9\\Software");
    EXPECT_EQ(byPath[link].comment, u"Installers, \"current\" and older");
    EXPECT_EQ(byPath[u"\\\\example.com\\Public\\New\\Deep"].comment, u"A \"new\" link");
    EXPECT_FALSE(byPath[u"\\\\example.com\\Public\\Other"].comment.has_value());
    EXPECT_EQ(all.size(), 7u);
}

TEST_F(StoreNetDfsTest, AddRefusesOverlapsMissingNamespacesAndBadInput) {
    EXPECT_EQ(Add(u"\\\\example.com\\Public\\Data", u"FS1", u"D", u"", 0), ERROR_FILE_EXISTS);
    EXPECT_EQ(Add(u"\\\\example.com\\Public\\Software\\Sub", u"FS1", u"D", u"", 0),
              ERROR_FILE_EXISTS);
    EXPECT_EQ(Add(u"\\\\example.com\\Missing\\Link", u"FS1", u"D", u"", 0), ERROR_NOT_FOUND);
    EXPECT_EQ(Add(u"\\\\nowhere.test\\Public\\Link", u"FS1", u"D", u"", 0), ERROR_BAD_NETPATH);
    EXPECT_EQ(Add(u"\\\\example.com\\Public\\Link", u"FS1", u"D", u"", 3), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Add(u"\\\\example.com\\Public\\Link", u"FS1", u"D", u"", DFS_RESTORE_VOLUME),
              ERROR_NOT_SUPPORTED);
    EXPECT_EQ(Add(u"\\\\example.com\\Public\\Link", u"", u"D", u"", 0), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Add(u"\\\\example.com\\Public\\a:b", u"FS1", u"D", u"", 0), ERROR_INVALID_NAME);
    EXPECT_EQ(Add(u"\\\\example.com\\Public\\..", u"FS1", u"D", u"", 0), ERROR_INVALID_NAME);
    EXPECT_EQ(Add(u"\\\\example.com\\Public\\a\\\\b", u"FS1", u"D", u"", 0), ERROR_INVALID_NAME);
    EXPECT_EQ(Add(u"\\\\example.com\\Public", u"DC1", u"Public", u"", 0), ERROR_FILE_EXISTS);
    std::vector<Listed> all;
    EXPECT_EQ(Walk(u"\\\\example.com\\Public", all), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(all.size(), 5u);
}

TEST_F(StoreNetDfsTest, AFailedRecordIsReportedAndNothingChanges) {
    // Moved away, not deleted: Windows keeps the name of a deleted file while it is open.
    std::filesystem::path away = file.string() + ".away";
    std::filesystem::rename(file, away);
    std::filesystem::create_directory(file);
    EXPECT_NE(Add(u"\\\\example.com\\Public\\Fresh", u"FS1", u"F", u"", 0), NERR_Success);
    std::vector<Listed> all;
    EXPECT_EQ(Walk(u"\\\\example.com\\Public", all), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(all.size(), 5u);
    dfs.reset();
    std::filesystem::remove(file);
    std::filesystem::remove(away);
}

} // namespace
} // namespace kestrune
