// Reading a file in large blocks.
//
//   InputFile   an existing file read as raw bytes (or, where allowed, a pipe
//               or device), in sequence
//   FileView    stretches of a regular file in memory, for one of several
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

// Bytes of an open regular file in memory, one stretch at a time, for one
// thread; several threads may each have their own view of one file. Where
// the system allows, a stretch is mapped into memory and read in place, with
// no copy; else it is read into a buffer, kept for the next stretch. The
// file's read position is not used (Windows moves it all the same, so
// InputFile::Read is not for the same file afterwards).
class FileView {
  public:
    FileView(const InputFile& file, std::int64_t length, bool map = true);
    ~FileView();
    FileView(const FileView&) = delete;
    FileView& operator=(const FileView&) = delete;

    bool IsMapped() const { return mapped_; }

    // Calls scan(data) with bytes [offset, offset + size) of the file's
    // first `length` bytes in memory, data[0] being the byte at `offset`. A
    // mapped stretch is scanned under os::RunGuarded: wherever `scan` reads
    // `data`, no object with a destructor and no lock may be live between
    // that read and this call. A file found shorter than `length` (another
    // program cut it) is PastEndOfFile naming it; a page the disk cannot
    // give, DeviceIo.
    template <typename Scan>
    void Read(std::int64_t offset, std::size_t size, Scan&& scan) {
        const std::uint8_t* data = Show(offset, size);
        if (!mapped_) {
            scan(data);
            return;
        }
        struct Call {
            Scan& scan;
            const std::uint8_t* data;
        } call{scan, data};
        const bool read = os::RunGuarded(
            [](void* c) {
                auto* call = static_cast<Call*>(c);
                call->scan(call->data);
            },
            &call);
        Release();
        if (!read) Faulted();
    }

    // PastEndOfFile naming the file if it has been cut shorter than
    // `length`. A mapped page that the file's new end cuts reads as zeros
    // past that end, without a fault; and stretches read ahead may have been
    // read before the cut: a scan that has read everything asks this.
    void CheckLength() const;

  private:
    const std::uint8_t* Show(std::int64_t offset, std::size_t size);
    [[noreturn]] void Faulted() const;  // a mapped read failed: why, as a RunError
    void Release() noexcept;

    const InputFile& file_;
    std::int64_t length_;
    bool mapped_;
    const std::uint8_t* view_ = nullptr;  // the mapped stretch
    std::size_t viewSize_ = 0;
    std::unique_ptr<std::uint8_t[]> buffer_;  // where stretches are read to
    std::size_t bufferSize_ = 0;
};

}  // namespace vagliante
