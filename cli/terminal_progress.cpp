#include "cli/terminal_progress.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace vagliante::cli {
namespace {

constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

// "12.3 MiB" style amounts.
std::string Amount(double bytes) {
    static const char* const kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    int unit = 0;
    while (bytes >= 1024 && unit < 4) {
        bytes /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, kUnits[unit]);
    return text;
}

}  // namespace

TerminalProgress::TerminalProgress(std::FILE* out, std::string label)
    : out_(out), label_(std::move(label)) {}

TerminalProgress::~TerminalProgress() { Clear(); }

bool TerminalProgress::IsTerminal(std::FILE* out) {
#ifdef _WIN32
    return _isatty(_fileno(out)) != 0;
#else
    return ::isatty(::fileno(out)) != 0;
#endif
}

void TerminalProgress::SetMax(double max) {
    max_ = max;
    start_ = Clock::now();
    lastDraw_ = {};
}

void TerminalProgress::SetValue(double value) {
    if (value < 1) {  // the bar is emptied: a pass has ended
        Clear();
        return;
    }
    auto now = Clock::now();
    if (drawn_ && now - lastDraw_ < kRedrawEvery && value < max_) return;
    lastDraw_ = now;
    Draw(value);
}

void TerminalProgress::Draw(double value) {
    // Positions run from 1 to length + 1.
    double done = value - 1;
    double total = max_ > 1 ? max_ - 1 : 0;
    double percent = total > 0 ? 100.0 * done / total : 100.0;
    double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
    std::string rate = seconds > 0.05 ? Amount(done / seconds) + "/s" : "";
    std::fprintf(out_, "\r%s %5.1f%%  %s / %s  %s\x1b[K", label_.c_str(), percent,
                 Amount(done).c_str(), Amount(total).c_str(), rate.c_str());
    std::fflush(out_);
    drawn_ = true;
}

void TerminalProgress::Clear() {
    if (!drawn_) return;
    std::fputs("\r\x1b[K", out_);
    std::fflush(out_);
    drawn_ = false;
}

}  // namespace vagliante::cli
