// How a log is read on several workers at once (filter/stretches.h): the
// defaults, or, in tests, small stretches that records cross often.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vagliante {

struct ScanOptions {
    // Bytes per stretch.
    std::int64_t stretch = std::int64_t{1} << 20;
    // Bytes past a stretch's end read with it, for the record that runs
    // across that end; at least the head of a record that the filters read.
    std::size_t margin = 4096;
    // Workers: 0 for as many as the cores that other runs leave free; else
    // exactly this many.
    int workers = 0;
};

}  // namespace vagliante
