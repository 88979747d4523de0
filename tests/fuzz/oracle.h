// Plain, slow second implementations of the rules the fuzz targets check: each
// follows the written rules step by step, sharing no code with the program,
// so that a difference between the two is a fault in one of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vagliante::oracle {

// The two upper-case hexadecimal digits of a byte, and of every byte of a
// text in turn.
std::string Hex(unsigned char byte);
std::string Hex(const std::string& bytes);

// VB-style Mid: `length` characters from the 1-based `start`, fewer (or none)
// when the text is shorter.
std::string Mid(const std::string& text, std::size_t start, std::size_t length = std::string::npos);

// The scan, position by position with the record state 0, 1, 2.
struct Scan {
    std::vector<std::string> lines;
    std::int64_t recordCount = 0;
};
Scan ScanBytes(const std::string& log, const std::string& marker);
// The record listing of those lines: each ended by CR LF.
std::string Listing(const std::vector<std::string>& lines);

std::string RemoveExtra(const std::string& line, const std::string& pattern);

// The report lines each filter makes of the record lines, in order.
struct ActivationLines {
    std::vector<std::string> r5C, r63_70, r63_71;
};
ActivationLines SelectActivation(const std::vector<std::string>& records);
std::vector<std::string> SelectUpdate(const std::vector<std::string>& records);

// Two characters (or one, at the end of an odd text) into a byte.
unsigned char PairToByte(const std::string& pair);
std::string TextToBytes(const std::string& text);
// The pairs of a text that are not two hexadecimal digits (a lone last
// character is one).
std::int64_t NonHexPairs(const std::string& text);

}  // namespace vagliante::oracle
