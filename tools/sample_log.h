// Sample command logs that follow the record layouts the filters read.
//
// Records are built field by field; the filler bytes never form a marker
// (82 00, 84 00) nor, in their hexadecimal text, a shortening pattern
// ("4740B6", "474126"), so every marker and pattern in a sample is one that
// was asked for.
#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace vagliante::samples {

using Rng = std::mt19937_64;

struct ActivationRecord {
    std::uint8_t type = 0x66;     // record type: 0x66, 0x6D or another
    std::size_t size = 105;       // bytes, marker included
    std::uint8_t provLow = 0x70;  // second PROV byte: chooses 63-70 or 63-71
    bool with1001 = true;         // bytes 14-15 are 10 01
    int patternAt = -1;           // 0-based byte where 47 40 B6 starts; -1: none
};

struct UpdateRecord {
    std::size_t size = 102;  // bytes, marker included
    int patternAt = -1;      // 0-based byte where 47 41 26 starts; -1: none
};

std::string MakeActivation(const ActivationRecord& record, Rng& rng);
std::string MakeUpdate(const UpdateRecord& record, Rng& rng);

// Filler bytes that take part in no marker and no pattern.
std::string Filler(std::size_t size, Rng& rng);

// Every record size the filters know and their near misses, "1001" present
// or not, PROV ending in 70 or not, patterns absent, early or in the last
// characters, stray bytes and back-to-back markers; closed by a last marker
// so that no wanted record is the open one at the end.
std::string ActivationCatalogue(Rng& rng);
std::string UpdateCatalogue(Rng& rng);
// Both kinds interleaved, as a real log holds them.
std::string MixedCatalogue(Rng& rng);

// A log of about `size` bytes of records of the known sizes, for speed
// measurements.
std::string RandomLog(std::size_t size, Rng& rng);
// The same with most records left out by the activation filter (other
// types, no "1001", other sizes, runs of update records), as a real log
// has them: its activation reports take about a third of its size.
std::string SparseLog(std::size_t size, Rng& rng);

}  // namespace vagliante::samples
