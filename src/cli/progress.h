// Progress of a long run on standard error: a line every few hundred items, or a bar that
// redraws itself in place when standard error is a terminal.
#pragma once

#include "cli/command_line.h"

#include <chrono>
#include <string>

namespace kestrune {

class LineProgress {
  public:
    static constexpr int kLinesBetweenReports = 500;
    static constexpr int kBarWidth = 30;

    // what names the items ("lines"); nothing is shown when disabled (--quiet).
    LineProgress(Console console, int total, std::string what, bool enabled);
    ~LineProgress();
    LineProgress(const LineProgress&) = delete;
    LineProgress& operator=(const LineProgress&) = delete;

    // Writes a line to standard output, out of the bar's way when both share a terminal.
    void Print(const std::string& line);
    // One more item done.
    void Step();
    // Takes the bar away for good (it is also taken away on destruction).
    void Finish();

  private:
    void DrawBar();
    void EraseBar();

    Console console_;
    int total_;
    int done_ = 0;
    std::string what_;
    bool enabled_;
    bool bar_;
    int drawnCells_ = -1; // the cells the bar showed when last drawn; -1: not on screen
    size_t drawnWidth_ = 0;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

} // namespace kestrune
