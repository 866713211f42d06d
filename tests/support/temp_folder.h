// A fresh temporary folder of its own for one test, removed afterwards: two test runs on one
// machine never share one, and a folder that cannot be removed (a file still open on Windows,
// a permission taken away and not given back) fails the test instead of piling up unseen.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kestrune::testing {

class TempFolder {
  public:
    TempFolder();
    // Removes the folder; what could not be removed fails the running GoogleTest test.
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return path_ / name;
    }

    // Empties the folder, keeping it; the reason when something stayed, else empty. For test
    // frameworks that check it themselves (Qt Test's cleanup()).
    std::string Clear();

    // The names of the files in a folder below it (or anywhere), sorted.
    static std::vector<std::string> FilesIn(const std::filesystem::path& folder);

  private:
    std::filesystem::path path_;
};

} // namespace kestrune::testing
