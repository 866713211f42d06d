#include "support/temp_folder.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <stdexcept>
#include <system_error>

namespace kestrune::testing {
namespace {

// Removes what is inside folder (and folder itself when asked); the reason when something
// stayed. Read-only files and folders are made writable first, as a test may leave them so.
std::string RemoveContents(const std::filesystem::path& folder, bool itself) {
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, error);
    error.clear();
    if (itself) {
        std::filesystem::remove_all(folder, error);
    } else {
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            std::filesystem::remove_all(entry.path(), error);
            if (error) break;
        }
    }
    if (!error) return {};
    return folder.string() + " could not be emptied: " + error.message();
}

} // namespace

TempFolder::TempFolder() {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        auto candidate = std::filesystem::temp_directory_path() /
                         ("kestrune_" + std::to_string(random()) + std::to_string(attempt));
        if (std::filesystem::create_directory(candidate)) path_ = candidate;
    }
    if (path_.empty()) throw std::runtime_error("no temporary folder could be created");
}

TempFolder::~TempFolder() {
    const std::string failure = RemoveContents(path_, true);
    if (!failure.empty()) ADD_FAILURE() << failure;
}

std::string TempFolder::Clear() {
    return RemoveContents(path_, false);
}

std::vector<std::string> TempFolder::FilesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace kestrune::testing
