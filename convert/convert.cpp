#include "convert/convert.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>

#include "convert/hex_decode.h"
#include "fileinfo/formatting.h"
#include "filter/byte_to_hex.h"
#include "platform/input_file.h"
#include "platform/output_set.h"
#include "platform/run_error.h"

namespace vagliante {
namespace {

// Bytes read per step: large enough to keep the system calls few, small
// enough that a block is still in the cache when it is converted. The text
// block of TXT->BIN is even, so that no pair is split between reads.
constexpr std::size_t kBinaryBlock = kIoBlock;
constexpr std::size_t kTextBlock = 2 * kBinaryBlock;

// Reads `source` block by block and lets `convert(in, n, out)` put what each
// block gives into the output's buffer, whose full blocks the output writes
// on its own thread while the next block is read and converted. `convert`
// returns the bytes it wrote.
template <typename Convert>
ConversionSummary ConvertBlocks(const std::string& source, const std::string& destination,
                                Progress& progress, std::size_t inputBlock, Convert convert) {
    ConversionSummary summary;
    summary.source = source;
    RunWithErrorNumbers([&] {
        progress.SetValue(kProgressEmpty);
        // A pipe or a device is read too, to its end, in full blocks.
        std::optional<InputFile> input(std::in_place, source, true);
        AtomicOutput output(destination);
        ProgressTracker tracker(progress, input->Length());
        // A file smaller than a block is read in one go into a buffer of
        // its own size (the smallest even size above it: no pair is split).
        if (!input->IsStream() && input->Length() < static_cast<std::int64_t>(inputBlock))
            inputBlock = (static_cast<std::size_t>(input->Length()) + 2) & ~std::size_t{1};
        // Not zeroed: a small file touches only the pages it fills.
        std::unique_ptr<char[]> block(new char[inputBlock]);
        // 1-based position of the next read; odd throughout TXT->BIN.
        std::int64_t position = 1;
        for (;;) {
            tracker.At(position);
            const std::size_t n = input->Read(block.get(), inputBlock);
            if (n == 0) break;
            summary.written += static_cast<std::int64_t>(convert(block.get(), n, output.Stream()));
            position += static_cast<std::int64_t>(n);
            if (n < inputBlock) break;
        }
        // Closed before the result takes the destination's name: Windows
        // does not replace a file that is still open, as the source is when
        // a file is converted onto itself.
        input.reset();
        output.Commit(&tracker);
        tracker.Finish();
        summary.read = position - 1;
    });
    return summary;
}

void Line(std::string& text, std::string_view label, std::int64_t count) {
    text += label;
    text += GroupedNumber(count, ".");
    text += '\n';
}

constexpr std::string_view kNonHexPairs = "Coppie non esadecimali: ";

}  // namespace

ConversionSummary ConvertBinToTxt(const std::string& source, const std::string& destination,
                                  Progress& progress) {
    return ConvertBlocks(source, destination, progress, kBinaryBlock,
                         [](const char* in, std::size_t n, OutputFile& out) {
                             // Half a block of bytes fills a block of text.
                             constexpr std::size_t kSlice = kIoBlock / 2;
                             for (std::size_t done = 0; done < n; done += kSlice) {
                                 const std::size_t part = std::min(kSlice, n - done);
                                 HexEncode(reinterpret_cast<const std::uint8_t*>(in + done), part,
                                           out.Reserve(2 * part));
                                 out.Commit(2 * part);
                             }
                             return 2 * n;
                         });
}

ConversionSummary ConvertTxtToBin(const std::string& source, const std::string& destination,
                                  Progress& progress) {
    std::int64_t nonHex = 0;
    ConversionSummary summary =
        ConvertBlocks(source, destination, progress, kTextBlock,
                      [&nonHex](const char* in, std::size_t n, OutputFile& out) {
                          auto* bytes = reinterpret_cast<std::uint8_t*>(out.Reserve(n / 2 + n % 2));
                          nonHex += static_cast<std::int64_t>(HexDecode(in, n, bytes));
                          std::size_t written = n / 2;
                          // Only the last block can be odd: its lone character still
                          // gives a byte, as if a non-digit followed it.
                          if (n % 2 != 0) {
                              bytes[written++] = HexPairToByte(in[n - 1], '\0');
                              ++nonHex;
                          }
                          out.Commit(written);
                          return written;
                      });
    summary.kind = ConversionKind::TxtToBin;
    summary.nonHexPairs = nonHex;
    return summary;
}

std::string NonHexPairsText(std::int64_t count) {
    return std::string(kNonHexPairs) + GroupedNumber(count, ".");
}

std::string ConversionDetails(const ConversionSummary& summary) {
    return summary.nonHexPairs > 0 ? NonHexPairsText(summary.nonHexPairs) : std::string();
}

std::string SummaryText(const ConversionSummary& summary) {
    std::string text;
    Line(text, "Byte letti: ", summary.read);
    Line(text, "Byte scritti: ", summary.written);
    if (summary.kind == ConversionKind::TxtToBin) Line(text, kNonHexPairs, summary.nonHexPairs);
    return text;
}

}  // namespace vagliante
