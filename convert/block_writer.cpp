#include "convert/block_writer.h"

namespace vagliante {

BlockWriter::BlockWriter(OutputFile& output, std::size_t blockSize, std::size_t blocks)
    : output_(output), blockSize_(blockSize) {
    for (std::size_t i = 0; i < blocks; ++i) {
        // Not zeroed: a small file touches only the pages it fills.
        buffers_.emplace_back(new char[blockSize]);
        free_.push_back(i);
    }
    thread_ = std::thread([this] { Run(); });
}

BlockWriter::~BlockWriter() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void BlockWriter::RethrowFailure() {
    if (failure_) std::rethrow_exception(failure_);
}

char* BlockWriter::Acquire() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return failure_ || !free_.empty(); });
    RethrowFailure();
    current_ = free_.front();
    free_.pop_front();
    return buffers_[current_].get();
}

void BlockWriter::Submit(std::size_t size) {
    {
        std::lock_guard lock(mutex_);
        queued_.push_back({current_, size});
    }
    changed_.notify_all();
}

void BlockWriter::Drain() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return failure_ || (queued_.empty() && !writing_); });
    RethrowFailure();
}

void BlockWriter::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || !queued_.empty(); });
        if (stop_ || failure_) return;
        Pending block = queued_.front();
        queued_.pop_front();
        writing_ = true;
        lock.unlock();
        std::exception_ptr failure;
        try {
            output_.Write(buffers_[block.index].get(), block.size);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        writing_ = false;
        free_.push_back(block.index);
        failure_ = failure;
        changed_.notify_all();
        if (failure_) return;
    }
}

}  // namespace vagliante
