// A one-line progress bar on standard error for long runs, drawn only when that stream is a terminal
// (a log file or a pipe gets no carriage-return clutter).
#pragma once

#include <cstdint>
#include <ostream>

namespace brevant::cli {

bool StandardErrorIsTerminal();

class ProgressBar {
public:
    // Draws nothing unless enabled.
    ProgressBar(std::ostream& out, bool enabled) : out_(out), enabled_(enabled) {}
    ~ProgressBar() { Finish(); }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // Redraws only when the shown percentage changes, so calling it at every resample is cheap.
    void Update(std::int64_t done, std::int64_t total);
    // Clears the bar's line (once a bar was drawn).
    void Finish();

private:
    std::ostream& out_;
    bool enabled_;
    bool drawn_ = false;
    int shownPercent_ = -1;
};

}  // namespace brevant::cli
