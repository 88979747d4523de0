// Reading a file in large blocks.
//
//   InputFile   an existing file read as raw bytes (or, where allowed, a pipe
//               or device), in sequence
//   FileBlocks  a regular file's bytes block by block, for one of several
//               threads that scan it at once
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/os_file.h"

namespace vagliante {

// A regular file is read up to the length it had when it was opened (what
// is appended meanwhile is not read); one that turns out shorter, cut by
// another program, is an error naming it. A stream (a pipe, FIFO or
// device, taken only when `streams` is set) is read to its end, and its
// Length is 0.
class InputFile {
  public:
    explicit InputFile(std::string path, bool streams = false);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    std::int64_t Length() const { return length_; }
    bool IsStream() const { return stream_; }
    const std::string& Path() const { return path_; }
    os::NativeFile Native() const { return file_; }

    // Reads until `size` bytes are in or the file ends; returns the count.
    std::size_t Read(void* buffer, std::size_t size);

    // Refuses `destination` if it is this file under any name (a link, a
    // hard link, another spelling): FileAlreadyOpen, naming it.
    void RefuseAsOutput(const std::string& destination) const;

  private:
    std::string path_;
    os::NativeFile file_;
    bool stream_;
    std::int64_t length_;
    std::int64_t position_ = 0;
};

// The first `length` bytes of an open regular file, one block after
// another, without using the file's read position: several threads may
// scan one file at once, each with its own FileBlocks. (Windows moves the
// position all the same, so InputFile::Read is not for the same file
// afterwards.) Where the system allows, the blocks are windows of
// the file mapped into memory and scanned in place, with no copy; else they
// are read into a buffer. A file found shorter than `length` (another
// program cut it) is PastEndOfFile naming it.
class FileBlocks {
  public:
    static constexpr std::size_t kBlock = kIoBlock;       // a step of the scan
    static constexpr std::size_t kWindow = 4 * kIoBlock;  // mapped at once

    FileBlocks(const InputFile& file, std::int64_t length, bool map = true);
    ~FileBlocks();
    FileBlocks(const FileBlocks&) = delete;
    FileBlocks& operator=(const FileBlocks&) = delete;

    bool IsMapped() const { return mapped_; }
    // The end of the last block given.
    std::int64_t Reached() const { return next_; }

    // Calls scan(data, start, count) for the next block, bytes [start, start
    // + count) of the file, each block starting where the last ended; data[count]
    // is readable too except in the last block, so that a pair of bytes
    // across two blocks is seen whole. False, with no call, once the blocks
    // are done (an empty file has none). A mapped block is scanned under
    // os::RunGuarded: wherever `scan` reads `data`, no object with a
    // destructor and no lock may be live between that read and this call.
    template <typename Scan>
    bool Next(Scan&& scan) {
        if (!Fetch()) return false;
        if (!mapped_) {
            scan(static_cast<const std::uint8_t*>(data_), start_, count_);
            return true;
        }
        auto call = [&] { scan(static_cast<const std::uint8_t*>(data_), start_, count_); };
        if (!os::RunGuarded([](void* c) { (*static_cast<decltype(call)*>(c))(); }, &call))
            Faulted();
        return true;
    }

  private:
    bool Fetch();                       // the next block into data_, start_, count_
    [[noreturn]] void Faulted() const;  // a mapped read failed: why, as a RunError
    void Release() noexcept;

    const InputFile& file_;
    std::int64_t length_;
    bool mapped_;
    std::int64_t next_ = 0;  // where the next block starts
    const std::uint8_t* data_ = nullptr;
    std::int64_t start_ = 0;
    std::size_t count_ = 0;
    const std::uint8_t* view_ = nullptr;  // the mapped window
    std::int64_t viewStart_ = 0;
    std::size_t viewSize_ = 0;
    std::unique_ptr<std::uint8_t[]> buffer_;  // where blocks are read to
};

}  // namespace vagliante
