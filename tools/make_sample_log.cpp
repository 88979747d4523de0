// make-sample-log: writes sample command logs.
//
//   make-sample-log activation|update|mixed OUT.BIN [SEED]
//       every record size the filters know and their near misses
//   make-sample-log random SIZE_MIB OUT.BIN [SEED]
//       about SIZE_MIB MiB of records of the known sizes, for measurements
//   make-sample-log sparse SIZE_MIB OUT.BIN [SEED]
//       the same with most records left out, as in a real log
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/sample_log.h"

namespace {

int Usage() {
    std::fputs(
        "usage: make-sample-log activation|update|mixed OUT.BIN [SEED]\n"
        "       make-sample-log random|sparse SIZE_MIB OUT.BIN [SEED]\n",
        stderr);
    return 2;
}

bool WriteAll(std::FILE* out, const std::string& bytes) {
    return std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
}

}  // namespace

int main(int argc, char** argv) {
    using namespace vagliante::samples;
    if (argc < 3) return Usage();
    const std::string kind = argv[1];
    const bool random = kind == "random" || kind == "sparse";
    if (random && argc < 4) return Usage();
    const char* path = argv[random ? 3 : 2];
    const int seedArg = random ? 4 : 3;
    Rng rng(argc > seedArg ? std::strtoull(argv[seedArg], nullptr, 10) : 2003);

    std::FILE* out = std::fopen(path, "wb");
    if (!out) {
        std::perror(path);
        return 1;
    }
    bool ok = true;
    if (random) {
        const long long mib = std::atoll(argv[2]);
        for (long long i = 0; ok && i < mib; ++i)
            ok =
                WriteAll(out, kind == "random" ? RandomLog(1 << 20, rng) : SparseLog(1 << 20, rng));
        // A last marker closes the last record.
        ok = ok && WriteAll(out, MakeActivation({0x66, 8, 0x70, false, -1}, rng) +
                                     MakeUpdate({8, -1}, rng));
    } else if (kind == "activation") {
        ok = WriteAll(out, ActivationCatalogue(rng));
    } else if (kind == "update") {
        ok = WriteAll(out, UpdateCatalogue(rng));
    } else if (kind == "mixed") {
        ok = WriteAll(out, MixedCatalogue(rng));
    } else {
        std::fclose(out);
        return Usage();
    }
    if (std::fclose(out) != 0) ok = false;
    if (!ok) {
        std::perror(path);
        return 1;
    }
    return 0;
}
