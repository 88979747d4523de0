// The count of a log's records, which every report's header shows before
// any line.
//
// Counting them first means reading the log twice. On a large log the
// filters instead estimate the count from samples spread over the log
// (EstimateRecords), write the estimate in the headers and select the lines
// at once, counting the records as they go; the true count is then written
// over the estimate, which has the same number of digits. When it has not,
// the reports are written again with the count known.
#pragma once

#include <cstdint>
#include <optional>

#include "filter/record_cutter.h"
#include "platform/input_file.h"

namespace vagliante {

// The number of records in the first `length` bytes of `log`, counted on
// their own; `step(counted)` after each block, with the bytes counted.
template <typename Step>
std::int64_t CountRecords(const InputFile& log, std::int64_t length, Marker marker, Step&& step) {
    RecordCounter counter(marker, length);
    ReadLogBlocks(log, length, counter, step);
    return counter.RecordCount();
}

// Markers found in stretches of a log, and the bytes those stretches hold.
struct LogSample {
    std::int64_t markers = 0;
    std::int64_t bytes = 0;
};

// Sixteen stretches of 64 KiB spread evenly over the first `length` bytes
// of `log`, from its start to its end (the whole of a smaller log).
LogSample SampleLog(const InputFile& log, std::int64_t length, Marker marker);

// The records of a log of `length` bytes, if it were throughout as its
// sample. None when the sample is too thin to tell, or when the estimate
// lies so near a power of ten that the count could well have another
// number of digits.
std::optional<std::int64_t> EstimateRecords(const LogSample& sample, std::int64_t length);

// The decimal digits of a count (at least one).
int DecimalDigits(std::int64_t count);

}  // namespace vagliante
