// The lines of a restore run done in one group of changes (NetDfsChangeGroup), held back until
// the group is kept: a line is reported restored only once its change is on the disk.
#pragma once

#include "backup/restore_run.h"

#include <chrono>
#include <span>
#include <utility>
#include <vector>

namespace kestrune {

// How many lines, and how long, one group takes at most: the status window and standard output
// still see the lines come in several times a second.
constexpr size_t kGroupLines = 500;
constexpr std::chrono::milliseconds kGroupTime{200};

// What a line's restore wrote to the log, kept until its group ends.
class HeldLog : public RestoreLog {
  public:
    void ClearLines() override { lines.clear(); }
    void ShowLog() override {}
    void AddLine(const AnsiString& Msg, uint32_t Color) override { lines.emplace_back(Msg, Color); }
    void SetPlainText(bool) override {}
    void SaveLinesToFile(const std::filesystem::path&) override {}

    std::vector<std::pair<AnsiString, uint32_t>> lines;
};

struct GroupedLine {
    RestoredLine line;
    HeldLog log;
};

// The group was not kept (status and the platform's detail say why): each of its lines that
// changed the namespace failed, its log ending in that failure instead of its success.
void FailGroup(std::span<GroupedLine> lines, uint32_t status, const std::string& detail);

} // namespace kestrune
