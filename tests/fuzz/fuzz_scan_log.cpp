// ScanLog over arbitrary bytes, for both markers, against the plain scan.
#include <cstdint>
#include <string>

#include "filter/scan_log.h"
#include "platform/files.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/oracle.h"

using namespace vagliante;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string log(reinterpret_cast<const char*>(data), size);
    const std::string path = fuzz::Scratch() + "/scan.bin";
    fuzz::WriteAll(path, log);
    for (const char* marker : {"8200", "8400"}) {
        oracle::Scan want = oracle::ScanBytes(log, marker);
        std::string expected;
        for (const std::string& line : want.lines) expected += line + "\r\n";

        WorkFile work;
        NullProgress progress;
        std::int64_t count = ScanLog(path, marker, work, progress);
        fuzz::Expect(count, want.recordCount, "record count");
        fuzz::Expect(fuzz::ReadAll(work.Path()), expected, "work file");
    }
    return 0;
}
