#include "platform/files.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>

#include "platform/run_error.h"

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

void WriteInPieces(os::NativeFile file, const char* data, std::size_t size,
                   const std::string& path) {
    for (std::size_t done = 0; done < size; done += kWritePiece)
        os::WriteAll(file, data + done, std::min(kWritePiece, size - done), path);
}

}  // namespace

// ---- InputFile ----

InputFile::InputFile(std::string path)
    : path_(std::move(path)), file_(os::OpenRead(path_)), length_(0) {
    try {
        length_ = os::Length(file_, path_);
    } catch (...) {
        os::CloseQuietly(file_);
        throw;
    }
}

InputFile::~InputFile() { os::CloseQuietly(file_); }

std::size_t InputFile::Read(void* buffer, std::size_t size) {
    auto* p = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        std::size_t n = os::ReadSome(file_, p + done, size - done, path_);
        if (n == 0) break;
        done += n;
    }
    return done;
}

// ---- OutputFile ----

// The writing thread and the one write it may have in hand.
struct OutputFile::Background {
    std::mutex mutex;
    std::condition_variable changed;
    const char* data = nullptr;  // the write in hand, if any
    std::size_t size = 0;
    bool stop = false;
    std::exception_ptr failure;  // kept: every later call reports it
    std::thread thread;

    void Run(os::NativeFile file, const std::string& path) {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return stop || data != nullptr; });
            if (data == nullptr) return;
            const char* block = data;
            const std::size_t n = size;
            lock.unlock();
            std::exception_ptr error;
            try {
                WriteInPieces(file, block, n, path);
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            data = nullptr;
            if (error && !failure) failure = error;
            changed.notify_all();
        }
    }
};

OutputFile::OutputFile(os::NativeFile file, std::string displayPath)
    : file_(file),
      displayPath_(std::move(displayPath)),
      buffer_(new char[kFirstBuffer]),
      capacity_(kFirstBuffer) {}

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
    background_->changed.wait(lock, [this] { return background_->data == nullptr; });
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
        WriteInPieces(file_, buffer_.get(), used_, displayPath_);
        flushed_ += static_cast<std::int64_t>(used_);
        used_ = 0;
        return;
    }
    if (!background_) {
        background_ = std::make_unique<Background>();
        spare_.reset(new char[kIoBlock]);
        background_->thread = std::thread([this] { background_->Run(file_, displayPath_); });
    }
    Wait();
    {
        std::lock_guard lock(background_->mutex);
        background_->data = buffer_.get();
        background_->size = used_;
    }
    background_->changed.notify_all();
    std::swap(buffer_, spare_);
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
        WriteInPieces(file_, p, size, displayPath_);
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

void OutputFile::TruncateTo(std::int64_t position) {
    if (position >= flushed_) {
        used_ = static_cast<std::size_t>(position - flushed_);
        return;
    }
    Wait();
    used_ = 0;
    os::Truncate(file_, position, displayPath_);
    flushed_ = position;
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

// ---- AtomicOutput ----

AtomicOutput::AtomicOutput(std::string destination) : destination_(std::move(destination)) {
    if (destination_.empty() || os::IsSeparator(destination_.back()))
        throw RunError(ErrorNumber::BadFileName, destination_);
    if (os::IsDirectory(destination_)) throw RunError(ErrorNumber::PathFileAccess, destination_);
    // A read-only file is not silently replaced, as writing into it would fail.
    if (os::Exists(destination_) && !os::CanWrite(destination_))
        throw RunError(ErrorNumber::PermissionDenied, destination_);
    std::string folder = os::FolderOf(destination_);
    if (!os::IsDirectory(folder)) throw RunError(ErrorNumber::PathNotFound, destination_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary_ = destination_ + ".~" + os::RandomTag() + ".tmp";
        os::NativeFile file;
        try {
            file = os::CreateNew(temporary_);
        } catch (const RunError& e) {
            // Name the file the user asked for, not our temporary one.
            throw RunError(e.Code(), destination_);
        }
        if (file != os::kNoFile) {
            stream_ = std::make_unique<OutputFile>(file, destination_);
            return;
        }
    }
    throw RunError(ErrorNumber::PathFileAccess, destination_);
}

AtomicOutput::~AtomicOutput() {
    if (published_) return;
    stream_.reset();
    os::RemoveQuietly(temporary_);
}

void AtomicOutput::Finish() { stream_->Close(); }

void AtomicOutput::Publish() {
    Finish();
    os::Replace(temporary_, destination_);
    published_ = true;
}

// ---- WorkFile ----

WorkFile::WorkFile() {
    std::string folder = os::TempFolder();
    for (int attempt = 0; attempt < 100; ++attempt) {
        path_ = folder + os::Separator() + "vagliante-" + os::RandomTag() + ".dat";
        os::NativeFile file = os::CreateNew(path_);
        if (file != os::kNoFile) {
            writer_ = std::make_unique<OutputFile>(file, path_);
            return;
        }
    }
    throw RunError(ErrorNumber::PathFileAccess, path_);
}

WorkFile::~WorkFile() {
    writer_.reset();
    os::RemoveQuietly(path_);
}

// ---- LineReader ----

LineReader::LineReader(InputFile& input, std::size_t keep)
    : input_(input), keep_(keep), block_(new char[kIoBlock]) {
    head_.reserve(keep);
}

bool LineReader::Fill() {
    end_ = input_.Read(block_.get(), kIoBlock);
    pos_ = 0;
    return end_ > 0;
}

bool LineReader::Next() {
    head_.clear();
    length_ = 0;
    char last = 0;
    bool any = false;
    for (;;) {
        if (pos_ == end_ && !Fill()) {
            if (any) DropCarriageReturn(last);
            return any;
        }
        any = true;
        const char* start = block_.get() + pos_;
        const auto* lf = static_cast<const char*>(std::memchr(start, '\n', end_ - pos_));
        std::size_t n = lf ? static_cast<std::size_t>(lf - start) : end_ - pos_;
        if (head_.size() < keep_) head_.append(start, std::min(n, keep_ - head_.size()));
        length_ += static_cast<std::int64_t>(n);
        if (n > 0) last = start[n - 1];
        pos_ += n;
        if (lf) {
            ++pos_;
            DropCarriageReturn(last);
            return true;
        }
    }
}

void LineReader::DropCarriageReturn(char last) {
    if (length_ == 0 || last != '\r') return;
    if (head_.size() == static_cast<std::size_t>(length_)) head_.pop_back();
    --length_;
}

}  // namespace vagliante
