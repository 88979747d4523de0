#include "platform/output_file.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace vagliante {

namespace {

// Large writes go to the system in pieces of this size. A bigger single
// write makes the page cache take large blocks of fresh memory, which on a
// virtual machine often stalls for several times the copy itself; measured
// side by side, 256 KiB pieces were steady and faster than 32 KiB or 1 MiB.
constexpr std::size_t kWritePiece = std::size_t{256} << 10;

// A buffer this full goes to the background thread. Handing off smaller
// parts was measured slower: more switches between the threads.
constexpr std::size_t kHandOffAt = kIoBlock;
// An output starts with a small buffer that grows, by fours, to kIoBlock:
// a small file costs little memory, and a large one a few copies at most.
constexpr std::size_t kFirstBuffer = std::size_t{16} << 10;

}  // namespace

// Starts the writing out of each stretch as soon as it is in the file, and
// waits for what lies more than kInFlight behind: the final flush then waits
// only for the tail, and written data does not pile up ahead of the disk.
// Waiting for the stretch just before was measured a third slower: the
// writer then stalls the run at every stretch.
// Writes never overlap (the background thread's and the caller's take
// turns), so no lock is needed.
struct OutputFile::Writeback {
    static constexpr std::int64_t kStretch = std::int64_t{8} << 20;
    static constexpr std::int64_t kInFlight = std::int64_t{64} << 20;
    std::int64_t written = 0;  // end of what is in the file
    std::int64_t started = 0;  // end of what is on its way to the disk
    std::int64_t waited = 0;   // end of what is on the disk

    void After(os::NativeFile file, std::size_t size) {
        written += static_cast<std::int64_t>(size);
        if (written - started < kStretch) return;
        os::StartWriteback(file, started, written - started);
        started = written;
        if (started - waited > kInFlight) {
            os::WaitWriteback(file, waited, started - kInFlight - waited);
            waited = started - kInFlight;
        }
    }
};

void OutputFile::WriteOut(const char* data, std::size_t size) {
    for (std::size_t done = 0; done < size; done += kWritePiece) {
        const std::size_t piece = std::min(kWritePiece, size - done);
        os::WriteAll(file_, data + done, piece, displayPath_, kind_ == OutputKind::Stream);
        if (writeback_) writeback_->After(file_, piece);
    }
}

// The writing thread and the full buffers it has in hand, written in turn.
struct OutputFile::Background {
    struct Block {
        std::unique_ptr<char[]> data;
        std::size_t size;
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Block> queued;                   // the front one is being written
    std::vector<std::unique_ptr<char[]>> free;  // written, to be filled again
    bool stop = false;
    std::exception_ptr failure;  // kept: every later call reports it
    std::thread thread;

    void Run(OutputFile& out) {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return stop || (!queued.empty() && !failure); });
            if (stop) return;
            const char* block = queued.front().data.get();
            const std::size_t n = queued.front().size;
            lock.unlock();
            std::exception_ptr error;
            try {
                out.WriteOut(block, n);
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            free.push_back(std::move(queued.front().data));
            queued.pop_front();
            // After a failure nothing more is written.
            if (error && !failure) failure = error;
            changed.notify_all();
        }
    }
};

OutputFile::OutputFile(os::NativeFile file, std::string displayPath, OutputKind kind)
    : file_(file),
      displayPath_(std::move(displayPath)),
      kind_(kind),
      buffer_(new char[kFirstBuffer]),
      capacity_(kFirstBuffer) {
    if (kind == OutputKind::Durable) writeback_ = std::make_unique<Writeback>();
}

OutputFile::~OutputFile() {
    if (background_) {
        {
            std::lock_guard lock(background_->mutex);
            background_->stop = true;
        }
        background_->changed.notify_all();
        background_->thread.join();
    }
    os::CloseQuietly(file_);
}

void OutputFile::Wait() {
    if (!background_) return;
    std::unique_lock lock(background_->mutex);
    background_->changed.wait(
        lock, [this] { return background_->queued.empty() || background_->failure; });
    if (background_->failure) std::rethrow_exception(background_->failure);
}

void OutputFile::Grow(std::size_t needed) {
    std::size_t capacity = capacity_;
    while (capacity < needed && capacity < kIoBlock) capacity *= 4;
    capacity = std::min(capacity, kIoBlock);
    std::unique_ptr<char[]> larger(new char[capacity]);
    std::memcpy(larger.get(), buffer_.get(), used_);
    buffer_ = std::move(larger);
    capacity_ = capacity;
}

void OutputFile::HandOff() {
    if (used_ == 0) return;
    if (capacity_ < kIoBlock) {
        // Still small, so no thread has started: written from here.
        WriteOut(buffer_.get(), used_);
        flushed_ += static_cast<std::int64_t>(used_);
        used_ = 0;
        return;
    }
    if (!background_) {
        // Kept only once its thread runs: a thread that cannot be started
        // (no memory left for it) is a failure of this call, not one to
        // join at the end.
        auto background = std::make_unique<Background>();
        Background* writer = background.get();
        writer->thread = std::thread([this, writer] { writer->Run(*this); });
        background_ = std::move(background);
    }
    {
        std::unique_lock lock(background_->mutex);
        // A buffer the thread has written, or a new one while there are
        // fewer than kBuffers; else the oldest write is waited for.
        background_->changed.wait(lock, [this] {
            return background_->failure || !background_->free.empty() || buffers_ < kBuffers;
        });
        if (background_->failure) std::rethrow_exception(background_->failure);
        std::unique_ptr<char[]> next;
        if (!background_->free.empty()) {
            next = std::move(background_->free.back());
            background_->free.pop_back();
        } else {
            next.reset(new char[kIoBlock]);
            ++buffers_;
        }
        background_->queued.push_back({std::move(buffer_), used_});
        buffer_ = std::move(next);
    }
    background_->changed.notify_all();
    flushed_ += static_cast<std::int64_t>(used_);
    used_ = 0;
}

void OutputFile::Write(const void* data, std::size_t size) {
    auto* p = static_cast<const char*>(data);
    if (used_ + size > capacity_ && capacity_ < kIoBlock) Grow(used_ + size);
    if (used_ + size <= capacity_) {
        std::memcpy(buffer_.get() + used_, p, size);
        used_ += size;
        if (used_ >= kHandOffAt) HandOff();
        return;
    }
    if (size >= kIoBlock) {
        // Written from here, with no copy, once what came before is out.
        Flush();
        WriteOut(p, size);
        flushed_ += static_cast<std::int64_t>(size);
        return;
    }
    // Fill the buffer up, so that every write in hand is a whole block.
    const std::size_t head = kIoBlock - used_;
    std::memcpy(buffer_.get() + used_, p, head);
    used_ = kIoBlock;
    HandOff();
    std::memcpy(buffer_.get(), p + head, size - head);
    used_ = size - head;
}

void OutputFile::WriteLine(std::string_view text) {
    Write(text);
    Write("\r\n", 2);
}

void OutputFile::Commit(std::size_t size) {
    used_ += size;
    if (used_ >= kHandOffAt) HandOff();
}

char* OutputFile::Reserve(std::size_t size) {
    if (used_ + size > capacity_ && capacity_ < kIoBlock) Grow(used_ + size);
    if (used_ + size > capacity_) HandOff();
    return buffer_.get() + used_;
}

void OutputFile::Flush() {
    HandOff();
    Wait();
}

void OutputFile::Close() {
    if (file_ == os::kNoFile) return;
    try {
        Flush();
    } catch (...) {
        os::CloseQuietly(file_);
        file_ = os::kNoFile;
        throw;
    }
    os::NativeFile file = file_;
    file_ = os::kNoFile;
    os::Close(file, displayPath_);
}

}  // namespace vagliante
