// A private scratch folder for a GUI test, with the sample forest copied into it.
#pragma once

#include <QString>
#include <algorithm>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace kestrune::testing {

class ScratchFolder {
  public:
    explicit ScratchFolder(const std::string& purpose)
        : root_(std::filesystem::temp_directory_path() /
                ("kestrune_" + purpose + "_" + std::to_string(::getpid()))) {}

    // Empties the folder and puts a copy of the sample forest in it as domain.ldif.
    void Reset() {
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
        std::filesystem::copy_file(std::string(KESTRUNE_SAMPLES) + "/example.ldif",
                                   root_ / "domain.ldif");
    }
    void Remove() { std::filesystem::remove_all(root_); }

    std::filesystem::path operator/(const std::string& name) const { return root_ / name; }
    QString Folder(const char* name) const {
        return QString::fromStdString((root_ / name).string());
    }

    // The names of the files in a folder, sorted.
    static std::vector<std::string> FilesIn(const std::filesystem::path& folder) {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

  private:
    std::filesystem::path root_;
};

} // namespace kestrune::testing
