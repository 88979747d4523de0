// BlockWriter: writes filled blocks to an output on a second thread, so that
// reading and converting the next blocks overlap the writing of the last.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/output_file.h"

namespace vagliante {

class BlockWriter {
  public:
    // `blocks` buffers of `blockSize` bytes each circulate between the caller
    // and the writing thread.
    BlockWriter(OutputFile& output, std::size_t blockSize, std::size_t blocks = 3);
    // Stops the thread; blocks not yet written are dropped.
    ~BlockWriter();
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;

    std::size_t BlockSize() const { return blockSize_; }

    // A free block to fill, waiting for one if all are queued. Rethrows a
    // failure of the writing thread.
    char* Acquire();
    // Queues the first `size` bytes of the block last acquired.
    void Submit(std::size_t size);
    // Returns once everything queued is written; rethrows a failure.
    void Drain();

  private:
    void Run();
    void RethrowFailure();  // with the lock held

    OutputFile& output_;
    std::size_t blockSize_;
    std::vector<std::unique_ptr<char[]>> buffers_;
    std::deque<std::size_t> free_;
    struct Pending {
        std::size_t index;
        std::size_t size;
    };
    std::deque<Pending> queued_;
    std::size_t current_ = 0;
    bool writing_ = false;
    bool stop_ = false;
    std::exception_ptr failure_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
};

}  // namespace vagliante
