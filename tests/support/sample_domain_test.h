// A test fixture with a private copy of the sample forest installed as the platform.
#pragma once

#include "platform/platform.h"
#include "platform/store/memory_store.h"
#include "temp_folder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace kestrune::testing {

class SampleDomainTest : public ::testing::Test {
  protected:
    void SetUp() override {
        file = scratch / "domain.ldif";
        std::filesystem::copy_file(std::string(KESTRUNE_SAMPLES) + "/example.ldif", file,
                                   std::filesystem::copy_options::overwrite_existing);
        auto opened = store::MemoryStore::Open(file);
        ASSERT_TRUE(opened) << opened.error().text;
        directory = std::move(*opened);
        InstallStorePlatform(directory);
    }
    void TearDown() override {
        UninstallPlatform();
        directory.reset(); // Windows deletes no file that is still open
    }
    TempFolder scratch;
    std::filesystem::path file;
    std::shared_ptr<store::MemoryStore> directory;
};

} // namespace kestrune::testing
