#include "cli/terminal_progress.h"

#include <algorithm>

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

// How far one source has read, as a share of its length. The bar's
// positions run from 1 to length + 1; the empty value before and after a
// pass changes nothing. A stop is the process's (StopOnSignals), which the
// core asks for itself.
class TerminalProgress::SourceProgress final : public Progress {
  public:
    explicit SourceProgress(TerminalProgress& owner) : owner_(owner) {}

    void SetMax(double max) override { max_ = max; }
    void SetValue(double value) override {
        if (value < 1 || max_ <= 1) return;
        share.store(std::min(1.0, (value - 1) / (max_ - 1)), std::memory_order_relaxed);
        owner_.Step(false);
    }

    std::atomic<double> share{0};

  private:
    TerminalProgress& owner_;
    double max_ = 0;  // touched by the source's own thread only
};

TerminalProgress::TerminalProgress(std::FILE* out, std::string label,
                                   std::vector<std::int64_t> sizes)
    : out_(out), label_(std::move(label)), sizes_(std::move(sizes)), start_(Clock::now()) {
    if (out_) {
        sequences_ = std::make_unique<ConsoleSequences>(out_);
        if (!sequences_->Works()) out_ = nullptr;
    }
    for (std::size_t i = 0; i < sizes_.size(); ++i)
        sources_.push_back(std::make_unique<SourceProgress>(*this));
}

TerminalProgress::~TerminalProgress() {
    std::lock_guard lock(mutex_);
    Clear();
}

Progress& TerminalProgress::Source(std::size_t index) { return *sources_.at(index); }

void TerminalProgress::SourceEnded(std::size_t index) {
    sources_.at(index)->share.store(1.0, std::memory_order_relaxed);
    ++ended_;
    Step(true);
}

void TerminalProgress::Print(std::FILE* stream, std::string_view text) {
    std::lock_guard lock(mutex_);
    Clear();
    WriteText(stream, text);
}

void TerminalProgress::Step(bool force) {
    if (!out_) return;
    const auto now = Clock::now();
    if (!force && now.time_since_epoch().count() < nextDraw_.load(std::memory_order_relaxed))
        return;
    // Another thread drawing now is as good as this one drawing.
    std::unique_lock lock(mutex_, std::try_to_lock);
    if (!lock && !force) return;
    if (!lock) lock.lock();
    nextDraw_.store((now + kRedrawEvery).time_since_epoch().count(), std::memory_order_relaxed);
    Draw();
}

void TerminalProgress::Draw() {
    double done = 0;
    double total = 0;
    for (std::size_t i = 0; i < sources_.size(); ++i) {
        const double size = static_cast<double>(sizes_[i]);
        done += sources_[i]->share.load(std::memory_order_relaxed) * size;
        total += size;
    }
    const std::size_t ended = ended_.load();
    const double percent = total > 0
                               ? 100.0 * done / total
                               : 100.0 * static_cast<double>(ended) /
                                     static_cast<double>(std::max<std::size_t>(1, sources_.size()));
    const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
    const std::string rate = seconds > 0.05 ? Amount(done / seconds) + "/s" : "";
    char count[48] = "";
    if (sources_.size() > 1) std::snprintf(count, sizeof count, " %zu/%zu", ended, sources_.size());
    char share[16];
    std::snprintf(share, sizeof share, " %5.1f%%  ", percent);
    WriteText(out_, "\r" + label_ + count + share + Amount(done) + " / " + Amount(total) + "  " +
                        rate + "\x1b[K");
    drawn_ = true;
}

void TerminalProgress::Clear() {
    if (!drawn_) return;
    WriteText(out_, "\r\x1b[K");
    drawn_ = false;
}

}  // namespace vagliante::cli
