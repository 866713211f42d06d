// A test fixture with a private copy of the sample forest installed as the platform.
#pragma once

#include "platform/memory_store/memory_store.h"
#include "platform/platform.h"
#include "support/scoped_platform.h"
#include "support/temp_folder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <optional>

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
        platform.emplace(directory);
    }
    void TearDown() override {
        platform.reset();
        directory.reset(); // Windows deletes no file that is still open
    }
    TempFolder scratch;
    std::filesystem::path file;
    std::shared_ptr<store::MemoryStore> directory;
    std::optional<ScopedPlatform> platform;
};

} // namespace kestrune::testing
