#include "filter/record_count.h"

#include <algorithm>
#include <memory>

namespace vagliante {
namespace {

constexpr int kStretches = 16;
constexpr std::int64_t kStretch = std::int64_t{64} << 10;

// A sample with fewer markers says too little about the rest of the log.
constexpr std::int64_t kFewestSampled = 64;

// How far the count may lie from its estimate, either way, for the estimate
// to be taken. Records come in a few sizes, so a sample spread over the log
// is seldom far out; and when the count has other digits after all, it
// costs a second writing of the reports, not a wrong one.
constexpr double kSpread = 1.05;

}  // namespace

LogSample SampleLog(const InputFile& log, std::int64_t length, Marker marker) {
    LogSample sample;
    if (length <= 0) return sample;
    const std::int64_t stretch = std::min(kStretch, length);
    // One byte more, for a marker across a stretch's end; zeroed, as a read
    // may stop short.
    std::unique_ptr<std::uint8_t[]> buffer(
        new std::uint8_t[static_cast<std::size_t>(stretch) + 1]());
    std::int64_t next = 0;  // stretches that overlap the last are not read twice
    for (int i = 0; i < kStretches; ++i) {
        const std::int64_t start = (length - stretch) * i / (kStretches - 1);
        if (i > 0 && start < next) continue;
        const std::size_t want = static_cast<std::size_t>(std::min(stretch + 1, length - start));
        // A log cut meanwhile gives a thinner sample; the selection reports the cut.
        const std::size_t got = os::ReadAt(log.Native(), start, buffer.get(), want, log.Path());
        const std::size_t count = std::min(got, static_cast<std::size_t>(stretch));
        sample.markers += detail::CountMarkers(
            buffer.get(), std::min(count, detail::CandidateEnd(length, start, got)), marker);
        sample.bytes += static_cast<std::int64_t>(count);
        next = start + stretch;
    }
    return sample;
}

int DecimalDigits(std::int64_t count) {
    int digits = 1;
    for (; count >= 10; count /= 10) ++digits;
    return digits;
}

std::optional<std::int64_t> EstimateRecords(const LogSample& sample, std::int64_t length) {
    if (sample.markers < kFewestSampled || sample.bytes <= 0) return std::nullopt;
    // Every marker but the first closes a record.
    const double records = static_cast<double>(sample.markers) * static_cast<double>(length) /
                               static_cast<double>(sample.bytes) -
                           1;
    const auto low = static_cast<std::int64_t>(records / kSpread);
    const auto high = static_cast<std::int64_t>(records * kSpread);
    if (DecimalDigits(low) != DecimalDigits(high)) return std::nullopt;
    return static_cast<std::int64_t>(records);
}

}  // namespace vagliante
