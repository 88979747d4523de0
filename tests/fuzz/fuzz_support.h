// What the fuzz targets share: a scratch folder, whole-file reads and writes,
// and a failure that stops the fuzzer with the input that caused it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "filter/scan_options.h"

namespace vagliante::fuzz {

// A folder of this process, made on first use (in memory where the system
// offers /dev/shm), emptied of nothing: each target reuses its file names.
const std::string& Scratch();

std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& bytes);
// Lines of a text ended by CR LF each; a last line without it is kept too.
std::vector<std::string> SplitCrLf(const std::string& text);
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
