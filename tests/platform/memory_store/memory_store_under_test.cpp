// The shared store tests over the memory store, loaded from a private copy of the sample.
#include "platform/memory_store/memory_store.h"
#include "support/store_under_test.h"
#include "support/temp_folder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace kestrune::testing {

std::shared_ptr<store::DirectoryStore> OpenStoreUnderTest() {
    // One copy per process, copied again for each test so that no change carries over.
    static const TempFolder scratch;
    const std::filesystem::path file = scratch / "contract.ldif";
    std::filesystem::copy_file(std::string(KESTRUNE_SAMPLES) + "/example.ldif", file,
                               std::filesystem::copy_options::overwrite_existing);
    std::string error;
    auto opened = store::MemoryStore::Open(file);
    error = opened ? std::string() : opened.error().text;
    std::shared_ptr<store::MemoryStore> store = opened ? std::move(*opened) : nullptr;
    EXPECT_TRUE(store) << error;
    return store;
}

std::string StoreUnderTestName() {
    return "memory";
}

bool StoreHoldsWholeSample() {
    return true;
}

} // namespace kestrune::testing
