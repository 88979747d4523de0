// ScanLog over arbitrary bytes, for both markers, read on up to three
// workers in small stretches, against the plain scan.
#include <cstdint>
#include <string>

#include "filter/scan_log.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/oracle.h"

using namespace vagliante;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string log(reinterpret_cast<const char*>(data), size);
    const std::string path = fuzz::Scratch() + "/scan.bin";
    const std::string listing = fuzz::Scratch() + "/scan.txt";
    test::WriteFile(path, log);
    for (const char* marker : {"8200", "8400"}) {
        oracle::Scan want = oracle::ScanBytes(log, marker);

        NullProgress progress;
        const std::int64_t count =
            ScanLogWith(path, marker, listing, progress, fuzz::SmallStretches(size));
        fuzz::Expect(count, want.recordCount, "record count");
        fuzz::Expect(test::ReadFile(listing), oracle::Listing(want.lines), "record lines");
    }
    return 0;
}
