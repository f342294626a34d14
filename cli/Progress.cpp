#include "cli/Progress.h"

#include <algorithm>
#include <string>
#include <unistd.h>

namespace brevant::cli {

namespace {
constexpr int kWidth = 40;
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void ProgressBar::Update(std::int64_t done, std::int64_t total) {
    if (!enabled_ || total <= 0) return;
    done = std::clamp<std::int64_t>(done, 0, total);
    const int percent = static_cast<int>(done * 100 / total);
    if (percent == shownPercent_) return;
    shownPercent_ = percent;
    const int filled = percent * kWidth / 100;
    std::string line = "\r[" + std::string(static_cast<std::size_t>(filled), '#') +
                       std::string(static_cast<std::size_t>(kWidth - filled), ' ') + "] ";
    if (percent < 100) line += ' ';
    if (percent < 10) line += ' ';
    line += std::to_string(percent) + "%";
    out_ << line << std::flush;
    drawn_ = true;
}

void ProgressBar::Finish() {
    if (!drawn_) return;
    out_ << '\r' << std::string(kWidth + 8, ' ') << '\r' << std::flush;
    drawn_ = false;
    shownPercent_ = -1;
}

}  // namespace brevant::cli
