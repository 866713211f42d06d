// The store a shared test runs against: the memory store over a private copy of the sample
// forest, or a real domain controller loaded with the same objects. Each test program
// defines these.
#pragma once

#include "platform/store/directory_store.h"

#include <memory>
#include <string>

namespace kestrune::testing {

// A fresh store for one test (the same directory each time: tests undo their changes).
std::shared_ptr<store::DirectoryStore> OpenStoreUnderTest();
// The name the report of a failure gives the store ("memory", "ldap").
std::string StoreUnderTestName();
// Whether the store holds the whole sample forest (the memory store) or only what a single
// domain controller of example.com can hold (no child domain, its own built-in objects).
bool StoreHoldsWholeSample();

} // namespace kestrune::testing
