#include "convert/convert.h"

#include <cstdint>
#include <memory>
#include <optional>

#include "convert/block_writer.h"
#include "convert/hex_decode.h"
#include "filter/byte_to_hex.h"
#include "platform/input_file.h"
#include "platform/output_set.h"
#include "platform/run_error.h"

namespace vagliante {
namespace {

// Bytes read per step: large enough to keep the system calls few, small
// enough that a block is still in the cache when it is written out. The
// text block of TXT->BIN is even, so that no pair is split between reads.
constexpr std::size_t kBinaryBlock = kIoBlock;
constexpr std::size_t kTextBlock = 2 * kBinaryBlock;

// Reads `source` block by block, lets `convert` turn each block into output
// bytes in a buffer of `outputBlock` bytes, and writes them while the next
// block is read. `convert(in, n, out)` returns the bytes it put in `out`.
template <typename Convert>
void ConvertBlocks(const std::string& source, const std::string& destination, Progress& progress,
                   std::size_t inputBlock, std::size_t outputBlock, Convert convert) {
    RunWithErrorNumbers([&] {
        progress.SetValue(kProgressEmpty);
        // A pipe or a device is read too, to its end, in full blocks.
        std::optional<InputFile> input(std::in_place, source, true);
        AtomicOutput output(destination);
        ProgressTracker tracker(progress, input->Length());
        // A file smaller than a block gets blocks of its own size (the
        // smallest even size above it, so that it is read in one go and no
        // pair is split), with output blocks in proportion.
        if (!input->IsStream() && input->Length() < static_cast<std::int64_t>(inputBlock)) {
            const std::size_t fitted =
                (static_cast<std::size_t>(input->Length()) + 2) & ~std::size_t{1};
            outputBlock = (outputBlock * fitted + inputBlock - 1) / inputBlock;
            inputBlock = fitted;
        }
        {
            BlockWriter writer(output.Stream(), outputBlock);
            // Not zeroed, as the writer's blocks: a small file touches only
            // the pages it fills.
            std::unique_ptr<char[]> block(new char[inputBlock]);
            // 1-based position of the next read; odd throughout TXT->BIN.
            std::int64_t position = 1;
            for (;;) {
                tracker.At(position);
                const std::size_t n = input->Read(block.get(), inputBlock);
                if (n == 0) break;
                char* out = writer.Acquire();
                writer.Submit(convert(block.get(), n, out));
                position += static_cast<std::int64_t>(n);
                if (n < inputBlock) break;
            }
            writer.Drain();
        }
        // Closed before the result takes the destination's name: Windows
        // does not replace a file that is still open, as the source is when
        // a file is converted onto itself.
        input.reset();
        output.Commit(&tracker);
        tracker.Finish();
    });
}

}  // namespace

void ConvertBinToTxt(const std::string& source, const std::string& destination,
                     Progress& progress) {
    ConvertBlocks(source, destination, progress, kBinaryBlock, 2 * kBinaryBlock,
                  [](const char* in, std::size_t n, char* out) {
                      HexEncode(reinterpret_cast<const std::uint8_t*>(in), n, out);
                      return 2 * n;
                  });
}

void ConvertTxtToBin(const std::string& source, const std::string& destination,
                     Progress& progress) {
    ConvertBlocks(source, destination, progress, kTextBlock, kTextBlock / 2,
                  [](const char* in, std::size_t n, char* out) {
                      auto* bytes = reinterpret_cast<std::uint8_t*>(out);
                      std::size_t written = HexDecode(in, n, bytes);
                      // Only the last block can be odd: its lone character
                      // still gives a byte, as if a non-digit followed it.
                      if (n % 2 != 0) bytes[written++] = HexPairToByte(in[n - 1], '\0');
                      return written;
                  });
}

}  // namespace vagliante
