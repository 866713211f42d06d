#include "backup/backup_history.h"

#include "base/file_io.h"
#include "base/paths.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <tuple>

namespace kestrune {
namespace {

constexpr int kMostCopiesInOneSecond = 1000;

std::string LocalStamp(std::time_t now) {
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

// "<name>.<stamp>" and, from the second copy within a second on, "-<n>".
std::filesystem::path CopyBase(const std::filesystem::path& historyFolder,
                               const std::filesystem::path& backupFile, const std::string& stamp,
                               int n) {
    std::filesystem::path base = historyFolder / backupFile.stem();
    base += PathFromUtf8("." + stamp + (n > 1 ? "-" + std::to_string(n) : std::string()));
    return base;
}

std::filesystem::path WithEnding(std::filesystem::path base, const char* ending) {
    base += PathFromUtf8(ending);
    return base;
}

// A history copy's stamp and number from what follows "<name>." in its file name.
struct CopyOrder {
    std::string stamp;
    int n = 1;
};
std::optional<CopyOrder> ParseCopyName(std::string_view rest) {
    auto digits = [&](size_t from, size_t count) {
        return from + count <= rest.size() &&
               std::all_of(rest.begin() + from, rest.begin() + from + count,
                           [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!digits(0, 8) || rest.size() < 15 || rest[8] != '-' || !digits(9, 6)) return std::nullopt;
    CopyOrder order{std::string(rest.substr(0, 15)), 1};
    std::string_view tail = rest.substr(15);
    if (tail.starts_with("-")) {
        size_t end = 1;
        while (end < tail.size() && end < 8 && tail[end] >= '0' && tail[end] <= '9')
            ++end;
        if (end == 1 || tail[1] == '0') return std::nullopt;
        order.n = std::stoi(std::string(tail.substr(1, end - 1)));
        tail = tail.substr(end);
    }
    if (tail != ".txt") return std::nullopt;
    return order;
}

std::string Utf8Name(const std::filesystem::path& path) {
    const std::u8string name = path.u8string();
    return std::string(name.begin(), name.end());
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    Expected<FileIdentity> first = IdentifyNamedFile(a), second = IdentifyNamedFile(b);
    return first && second && first->volume == second->volume && first->index == second->index;
}

// The history copies of a backup file with their stamps and numbers, oldest first.
std::vector<std::pair<CopyOrder, std::filesystem::path>>
OrderedCopies(const std::filesystem::path& historyFolder, const std::filesystem::path& backupFile) {
    const std::string lead = Utf8Name(backupFile.stem()) + ".";
    std::vector<std::pair<CopyOrder, std::filesystem::path>> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(historyFolder, error)) {
        const std::string name = Utf8Name(entry.path().filename());
        if (!name.starts_with(lead)) continue;
        std::optional<CopyOrder> order = ParseCopyName(std::string_view(name).substr(lead.size()));
        if (order && entry.is_regular_file(error)) found.push_back({*order, entry.path()});
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return std::tie(a.first.stamp, a.first.n) < std::tie(b.first.stamp, b.first.n);
    });
    return found;
}

} // namespace

std::filesystem::path HistoryFolder(const std::filesystem::path& outputFolder) {
    return outputFolder / "history";
}

std::filesystem::path PropertiesFileOf(const std::filesystem::path& backupFile) {
    std::filesystem::path properties = backupFile.parent_path() / backupFile.stem();
    properties += PathFromUtf8(".properties.xml");
    return properties;
}

std::vector<std::filesystem::path> HistoryCopies(const std::filesystem::path& historyFolder,
                                                 const std::filesystem::path& backupFile) {
    std::vector<std::filesystem::path> copies;
    for (auto& [order, path] : OrderedCopies(historyFolder, backupFile))
        copies.push_back(std::move(path));
    return copies;
}

HistoryReplacement
ReplaceKeepingHistory(const std::filesystem::path& backupFile, std::string_view bytes,
                      const BackupHistory& history, std::time_t now,
                      std::optional<std::span<const std::string_view>> properties) {
    auto step = [&history](BackupHistory::Step s) {
        if (history.afterStep) history.afterStep(s);
    };
    // Only a file moves: anything else in its place is for the replacement to refuse.
    std::error_code notFile;
    if (!std::filesystem::is_regular_file(backupFile, notFile)) {
        OrThrowFileError(ReplaceFileContents(backupFile, bytes));
        if (properties)
            OrThrowFileError(ReplaceFileContents(PropertiesFileOf(backupFile), *properties));
        return {};
    }
    OrThrowFileError(ForceDirectories(history.folder));

    // 1. The old file gets its name in history. A replacement interrupted after this step left
    // the same file under both names: that copy stands.
    HistoryReplacement result;
    std::filesystem::path copyBase;
    bool madeCopy = false;
    const auto earlier = OrderedCopies(history.folder, backupFile);
    if (!earlier.empty() && SameFile(earlier.back().second, backupFile)) {
        result.kept = earlier.back().second;
        copyBase = result.kept.parent_path() / result.kept.stem();
    } else {
        // A second copy within a second is numbered after every copy of that second, so that
        // it sorts as the newest.
        const std::string stamp = LocalStamp(now);
        int first = 1;
        for (const auto& [order, path] : earlier)
            if (order.stamp == stamp) first = std::max(first, order.n + 1);
        bool link = history.hardLinks;
        for (int n = first; result.kept.empty(); ++n) {
            if (n > kMostCopiesInOneSecond)
                ThrowFileError("Cannot move file", backupFile,
                               "History holds too many copies stamped " + stamp + ".", EEXIST);
            copyBase = CopyBase(history.folder, backupFile, stamp, n);
            const std::filesystem::path copy = WithEnding(copyBase, ".txt");
            const Expected<void> kept =
                link ? LinkFile(backupFile, copy) : MoveFileNoReplace(backupFile, copy);
            if (kept) {
                result.kept = copy;
            } else if (!IsNameTaken(kept.error())) {
                if (!link)
                    ThrowFileError("Cannot move file", backupFile,
                                   "to \"" + FullFileName(copy) + "\": " + kept.error().text,
                                   static_cast<int>(kept.error().code));
                // No hard links here: the old file moves instead, under the same name.
                link = false;
                --n;
            }
        }
        madeCopy = true;
    }
    const bool oldInPlace = SameFile(result.kept, backupFile);

    // 2. Its properties file follows it; 3. the new file takes the old one's place. A failure
    // puts back what moved. A properties file that cannot follow is removed rather than left
    // beside a backup file it does not belong to.
    const std::filesystem::path propertiesFile = PropertiesFileOf(backupFile);
    const std::filesystem::path propertiesCopy = WithEnding(copyBase, ".properties.xml");
    bool propertiesMoved = false;
    try {
        step(BackupHistory::Step::OldKept);
        std::error_code error;
        if (std::filesystem::is_regular_file(propertiesFile, error)) {
            const Expected<void> moved = MoveFileNoReplace(propertiesFile, propertiesCopy);
            propertiesMoved = moved.has_value();
            if (!moved) {
                std::filesystem::remove(propertiesFile, error);
                result.problem = "The properties file \"" + FullFileName(propertiesFile) +
                                 "\" could not be kept in history: " + moved.error().text + "\n";
                if (error)
                    ThrowFileError("Cannot remove file", propertiesFile, error.message(),
                                   error.value());
            }
        }
        step(BackupHistory::Step::PropertiesMoved);
        OrThrowFileError(ReplaceFileContents(backupFile, bytes));
    } catch (...) {
        if (propertiesMoved) (void)MoveFileNoReplace(propertiesCopy, propertiesFile);
        if (madeCopy) {
            if (oldInPlace) {
                std::error_code ignored;
                std::filesystem::remove(result.kept, ignored);
            } else {
                (void)MoveFileNoReplace(result.kept, backupFile);
            }
        }
        throw;
    }
    step(BackupHistory::Step::Replaced);
    if (properties) OrThrowFileError(ReplaceFileContents(propertiesFile, *properties));
    step(BackupHistory::Step::PropertiesWritten);

    // 4. The oldest copies beyond the number kept go, each with its properties file; the one
    // just kept stays whatever its stamp says (a clock set back).
    std::vector<std::filesystem::path> others = HistoryCopies(history.folder, backupFile);
    std::erase(others, result.kept);
    const size_t keep = static_cast<size_t>(std::max(history.keep, 1));
    for (size_t i = 0; i + keep < others.size() + 1; ++i) {
        const std::filesystem::path& copy = others[i];
        std::error_code error;
        std::filesystem::remove(PropertiesFileOf(copy), error);
        if (!error) std::filesystem::remove(copy, error);
        if (error)
            result.problem += "The old copy \"" + FullFileName(copy) +
                              "\" could not be removed: " + error.message() + "\n";
    }
    if (!result.problem.empty()) result.problem.pop_back();
    step(BackupHistory::Step::OldestRemoved);
    return result;
}

} // namespace kestrune
