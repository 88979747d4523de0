#include "tools/sample_log.h"

#include <array>
#include <stdexcept>

namespace vagliante::samples {
namespace {

// Nibbles without 4: no pattern can start. Bytes are never 00, 82 or 84, so
// no marker forms, not even next to a field set to 00.
constexpr std::array<std::uint8_t, 15> kNibbles = {0, 1,  2,  3,  5,  6,  7, 8,
                                                   9, 10, 11, 12, 13, 14, 15};

std::uint8_t FillerByte(Rng& rng) {
    for (;;) {
        std::uint8_t b = static_cast<std::uint8_t>(kNibbles[rng() % kNibbles.size()] << 4 |
                                                   kNibbles[rng() % kNibbles.size()]);
        if (b != 0x00 && b != 0x82 && b != 0x84) return b;
    }
}

void Put(std::string& record, std::size_t at, std::initializer_list<int> bytes) {
    for (int b : bytes) {
        if (at >= record.size()) throw std::invalid_argument("field outside the record");
        record[at++] = static_cast<char>(b);
    }
}

std::string Catalogue(bool activation, bool update, Rng& rng) {
    std::string log = Filler(7, rng);  // stray bytes before the first marker
    auto act = [&](ActivationRecord r) { log += MakeActivation(r, rng); };
    auto upd = [&](UpdateRecord r) { log += MakeUpdate(r, rng); };
    if (activation) {
        act({0x66, 105, 0x70, true, -1});
        act({0x66, 105, 0x71, false, -1});  // no 1001
        act({0x66, 110, 0x70, true, 40});   // pattern early
        act({0x66, 110, 0x70, true, -1});   // pattern absent
        act({0x66, 110, 0x70, true, 106});  // pattern in the last nine characters
        act({0x66, 120, 0x70, true, -1});
        act({0x66, 121, 0x70, true, -1});  // near miss
        act({0x66, 104, 0x70, true, -1});  // near miss
        act({0x6D, 112, 0x70, true, -1});
        act({0x6D, 112, 0x71, true, -1});
        act({0x6D, 112, 0x00, true, -1});
        act({0x6D, 112, 0x70, false, -1});  // no 1001
        act({0x6D, 117, 0x70, true, 60});
        act({0x6D, 117, 0x71, true, -1});
        act({0x6D, 117, 0x71, true, 114});
        act({0x6D, 120, 0x70, true, -1});  // exactly 120: left out
        act({0x6D, 121, 0x70, true, -1});
        act({0x6D, 140, 0x71, true, -1});
        act({0x65, 105, 0x70, true, -1});  // unknown type
        log += "\x82";                     // back-to-back markers
        log += '\0';
    }
    if (update) {
        upd({102, -1});
        upd({107, 14});   // pattern early
        upd({107, -1});   // pattern absent
        upd({107, 103});  // pattern in the last characters
        upd({116, -1});
        upd({105, -1});  // near misses
        upd({103, -1});
        log += "\x84";
        log += '\0';
    }
    // A last marker closes the last record: the open one at the end is dropped.
    if (activation) log += MakeActivation({0x66, 8, 0x70, false, -1}, rng);
    if (update) log += MakeUpdate({8, -1}, rng);
    return log;
}

}  // namespace

std::string Filler(std::size_t size, Rng& rng) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(FillerByte(rng));
    return bytes;
}

std::string MakeActivation(const ActivationRecord& r, Rng& rng) {
    std::string record = Filler(r.size, rng);
    Put(record, 0, {0x82, 0x00, r.type});
    if (r.size >= 11) Put(record, 9, {FillerByte(rng), r.provLow});
    if (r.size >= 15)
        Put(record, 13,
            r.with1001 ? std::initializer_list<int>{0x10, 0x01}
                       : std::initializer_list<int>{0x10, 0x02});
    if (r.patternAt >= 0) Put(record, static_cast<std::size_t>(r.patternAt), {0x47, 0x40, 0xB6});
    return record;
}

std::string MakeUpdate(const UpdateRecord& r, Rng& rng) {
    std::string record = Filler(r.size, rng);
    Put(record, 0, {0x84, 0x00});
    if (r.patternAt >= 0) Put(record, static_cast<std::size_t>(r.patternAt), {0x47, 0x41, 0x26});
    return record;
}

std::string ActivationCatalogue(Rng& rng) { return Catalogue(true, false, rng); }
std::string UpdateCatalogue(Rng& rng) { return Catalogue(false, true, rng); }
std::string MixedCatalogue(Rng& rng) { return Catalogue(true, true, rng); }

std::string RandomLog(std::size_t size, Rng& rng) {
    static constexpr std::array<std::size_t, 5> kActivationSizes = {105, 110, 120, 112, 117};
    static constexpr std::array<std::size_t, 3> kUpdateSizes = {102, 107, 116};
    std::string log;
    log.reserve(size + 256);
    while (log.size() < size) {
        if (rng() % 2 == 0) {
            std::size_t pick = rng() % kActivationSizes.size();
            ActivationRecord r;
            r.type = pick < 3 ? 0x66 : 0x6D;
            r.size = kActivationSizes[pick];
            r.provLow = rng() % 2 ? 0x70 : 0x71;
            if (r.size == 110 || r.size == 117) r.patternAt = 20 + static_cast<int>(rng() % 60);
            log += MakeActivation(r, rng);
        } else {
            UpdateRecord r;
            r.size = kUpdateSizes[rng() % kUpdateSizes.size()];
            if (r.size == 107) r.patternAt = 20 + static_cast<int>(rng() % 60);
            log += MakeUpdate(r, rng);
        }
    }
    return log;
}

std::string SparseLog(std::size_t size, Rng& rng) {
    static constexpr std::array<std::size_t, 4> k66Sizes = {105, 110, 120, 96};
    static constexpr std::array<std::size_t, 3> k6DSizes = {112, 117, 100};
    static constexpr std::array<std::size_t, 4> kUpdateSizes = {102, 107, 116, 90};
    std::string log;
    log.reserve(size + 256);
    while (log.size() < size) {
        const auto roll = rng() % 100;
        if (roll < 50) {
            UpdateRecord r;
            r.size = kUpdateSizes[rng() % kUpdateSizes.size()];
            if (r.size == 107) r.patternAt = 20 + static_cast<int>(rng() % 60);
            log += MakeUpdate(r, rng);
            continue;
        }
        ActivationRecord r;
        r.type = roll < 78 ? 0x66 : roll < 93 ? 0x6D : 0x65;
        r.size =
            r.type == 0x6D ? k6DSizes[rng() % k6DSizes.size()] : k66Sizes[rng() % k66Sizes.size()];
        r.provLow = rng() % 2 ? 0x70 : 0x71;
        r.with1001 = rng() % 5 != 0;
        if (r.size == 110 || r.size == 117) r.patternAt = 20 + static_cast<int>(rng() % 60);
        log += MakeActivation(r, rng);
    }
    return log;
}

}  // namespace vagliante::samples
