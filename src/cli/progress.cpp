#include "cli/progress.h"

#include <cstdio>
#include <ostream>

namespace kestrune {

LineProgress::LineProgress(Console console, int total, std::string what, bool enabled)
    : console_(console), total_(total), what_(std::move(what)), enabled_(enabled && total > 0),
      bar_(console.errIsTerminal) {}

LineProgress::~LineProgress() {
    Finish();
}

void LineProgress::Print(const std::string& line) {
    // On a shared terminal the bar steps aside for the line and comes back under it.
    const bool shared = drawnCells_ >= 0 && console_.outIsTerminal;
    if (shared) EraseBar();
    console_.out << line << '\n';
    if (shared) DrawBar();
}

void LineProgress::Step() {
    ++done_;
    if (!enabled_) return;
    if (bar_) {
        int cells = static_cast<int>(static_cast<long long>(done_) * kBarWidth / total_);
        if (cells != drawnCells_) DrawBar();
        return;
    }
    if (done_ % kLinesBetweenReports != 0 || done_ == total_) return;
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    char time[32];
    std::snprintf(time, sizeof time, "%.1f s", seconds);
    console_.err << "kestrune: " << done_ << " of " << total_ << " " << what_ << ", " << time
                 << "\n";
}

void LineProgress::Finish() {
    if (drawnCells_ >= 0) EraseBar();
    enabled_ = false;
}

void LineProgress::DrawBar() {
    if (!enabled_) return;
    int cells = static_cast<int>(static_cast<long long>(done_) * kBarWidth / total_);
    std::string bar = "\r[" + std::string(cells, '#') + std::string(kBarWidth - cells, ' ') + "] " +
                      std::to_string(done_) + "/" + std::to_string(total_) + " " + what_;
    drawnWidth_ = bar.size() - 1;
    console_.err << bar << std::flush;
    drawnCells_ = cells;
}

void LineProgress::EraseBar() {
    // Carriage returns and blanks only: every console understands them.
    console_.err << '\r' << std::string(drawnWidth_, ' ') << '\r' << std::flush;
    drawnCells_ = -1;
}

} // namespace kestrune
