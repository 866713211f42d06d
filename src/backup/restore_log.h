// Where a restore reports its progress, line by line, each in the colour of what it says.
#pragma once

#include "base/ansi_string.h"

#include <cstdint>
#include <filesystem>

namespace kestrune {

// The colours of a log's lines, Windows colour values (0x00BBGGRR): lime for what was done,
// yellow for progress and warnings, red for what failed.
constexpr uint32_t clLime = 0x00FF00;
constexpr uint32_t clYellow = 0x00FFFF;
constexpr uint32_t clRed = 0x0000FF;

// Where a restore run reports: the status window, or anything that keeps lines.
class RestoreLog {
  public:
    virtual ~RestoreLog() = default;
    virtual void ClearLines() = 0;
    virtual void ShowLog() = 0;
    virtual void AddLine(const AnsiString& Msg, uint32_t Color) = 0;
    virtual void SetPlainText(bool plain) = 0;
    // Throws EFileError.
    virtual void SaveLinesToFile(const std::filesystem::path& file) = 0;
};

// A log that keeps nothing, for callers that read the outcomes from the run's result.
class SilentRestoreLog : public RestoreLog {
  public:
    void ClearLines() override {}
    void ShowLog() override {}
    void AddLine(const AnsiString&, uint32_t) override {}
    void SetPlainText(bool) override {}
    void SaveLinesToFile(const std::filesystem::path&) override {}
};

} // namespace kestrune
