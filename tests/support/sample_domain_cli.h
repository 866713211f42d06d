// The command line run in-process on a private copy of the sample domain, with the directory
// at hand to change the namespaces behind the program's back.
#pragma once

#include "backup/run_report.h"
#include "base/file_io.h"
#include "cli/command_line.h"
#include "platform/memory_store/memory_store.h"
#include "platform/platform.h"
#include "support/scoped_platform.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <optional>
#include <sstream>

namespace kestrune::testing {

class SampleDomainCli : public ::testing::Test {
  protected:
    void SetUp() override {
        domainFile = folder / "domain.ldif";
        std::filesystem::copy_file(std::string(KESTRUNE_SAMPLES) + "/example.ldif", domainFile);
        auto opened = store::MemoryStore::Open(domainFile);
        ASSERT_TRUE(opened) << opened.error().text;
        directory = std::move(*opened);
        platform.emplace(directory);
    }
    void TearDown() override { platform.reset(); }

    int Run(std::vector<std::string> arguments, Console console) {
        out.str("");
        err.str("");
        return RunCommandLine(arguments, console);
    }
    int Run(std::vector<std::string> arguments) { return Run(std::move(arguments), {out, err}); }

    // Backs up the sample's namespaces into folder/name; the Greek names of one of them do not
    // fit the default code page, which the status says.
    std::filesystem::path BackUp(const std::string& name) {
        EXPECT_EQ(Run({"", (folder / name).string()}), kExitCharactersLost) << err.str();
        return folder / name;
    }

    // The link of a namespace of example.com with the path given as the directory keeps it
    // ("/Data/Projects").
    std::string LinkDn(const std::string& ns, const std::string& linkPath) {
        std::vector<store::Entry> found;
        EXPECT_TRUE(store::SearchAll(*directory,
                                     {"CN=" + ns + ",CN=" + ns +
                                          ",CN=Dfs-Configuration,CN=System,DC=example,DC=com",
                                      store::Scope::OneLevel,
                                      "(msDFS-LinkPathv2=" + linkPath + ")",
                                      {"1.1"},
                                      0},
                                     found)
                        .ok());
        EXPECT_EQ(found.size(), 1u) << linkPath;
        return found.empty() ? std::string() : found.front().dn;
    }
    void DeleteLink(const std::string& ns, const std::string& linkPath) {
        ASSERT_TRUE(directory->Delete(LinkDn(ns, linkPath)).ok());
    }
    void SetComment(const std::string& ns, const std::string& linkPath, const std::string& text) {
        ASSERT_TRUE(directory
                        ->Modify(LinkDn(ns, linkPath),
                                 {{store::Modification::Op::Replace, "msDFS-Commentv2", {text}}})
                        .ok());
    }

    TempFolder folder;
    std::filesystem::path domainFile;
    std::shared_ptr<store::MemoryStore> directory;
    std::optional<ScopedPlatform> platform;
    std::ostringstream out, err;
};

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace kestrune::testing
