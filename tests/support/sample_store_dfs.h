// A copy of the sample domain in a scratch folder behind the store-backed DFS interface.
#pragma once

#include "platform/memory_store/memory_store.h"
#include "platform/netdfs_over_store/netdfs_over_store.h"
#include "support/temp_folder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace kestrune::testing {

class SampleStoreDfsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        file = scratch.path() / "domain.ldif";
        std::filesystem::copy_file(std::string(KESTRUNE_SAMPLES) + "/example.ldif", file,
                                   std::filesystem::copy_options::overwrite_existing);
        Reload();
    }
    // Opens the file again, as another program would, and answers through it from now on.
    void Reload() {
        auto opened = store::MemoryStore::Open(file);
        ASSERT_TRUE(opened) << opened.error().text;
        store = std::move(*opened);
        dfs = std::make_unique<StoreNetDfs>(store);
    }

    TempFolder scratch;
    std::filesystem::path file;
    std::shared_ptr<store::MemoryStore> store;
    std::unique_ptr<StoreNetDfs> dfs;
};

} // namespace kestrune::testing
