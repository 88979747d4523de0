// count-markers: times the counting pass of the filters alone.
//
//   count-markers LOG.BIN [WORKERS]
//       counts the records of "8200" in LOG.BIN on WORKERS workers (default
//       1) and prints the count and the seconds the count took
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "filter/stretches.h"

int main(int argc, char** argv) {
    using namespace vagliante;
    if (argc < 2) {
        std::fputs("usage: count-markers LOG.BIN [WORKERS]\n", stderr);
        return 2;
    }
    try {
        InputFile log(argv[1]);
        NullProgress none;
        ProgressTracker tracker(none, log.Length());
        ScanOptions options;
        options.workers = argc > 2 ? std::atoi(argv[2]) : 1;
        LogStretches stretches(log, log.Length(), ParseMarker(kActivationMarker), options, tracker);
        const auto began = std::chrono::steady_clock::now();
        const std::int64_t records = stretches.CountRecords();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - began;
        std::printf("%lld %.6f\n", static_cast<long long>(records), took.count());
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "count-markers: %s\n", error.what());
        return 1;
    }
}
