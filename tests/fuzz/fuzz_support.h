// What the fuzz targets share: a scratch folder and a failure that stops the
// fuzzer with the input that caused it. Whole files are read and written
// with the tests' own helpers (tests/support/test_support.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "filter/scan_options.h"
#include "tests/support/test_support.h"

namespace vagliante::fuzz {

// A folder of this process, made on first use (in memory where the system
// offers /dev/shm), emptied of nothing: each target reuses its file names.
const std::string& Scratch();

// Names of the entries of `folder`, sorted.
std::vector<std::string> Entries(const std::string& folder);

// Stretches of 1 to 64 bytes and one to three workers, chosen by the
// input's size, so that records cross stretch boundaries everywhere.
inline ScanOptions SmallStretches(std::size_t size) {
    return {static_cast<std::int64_t>(1 + size % 64), 0, static_cast<int>(1 + size % 3)};
}

[[noreturn]] void Fail(const std::string& what);

template <typename A, typename B>
void Expect(const A& got, const B& want, const char* what) {
    if (!(got == want)) Fail(what);
}

}  // namespace vagliante::fuzz
