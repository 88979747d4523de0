// OutputFile: a buffered sequential writer over an open file, whose full
// buffers are written out on a background thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/os_file.h"

namespace vagliante {

enum class OutputKind {
    Durable,  // a file whose written stretches go on to the disk while the next is written
    Stream,   // a pipe or device, whose writes may wait (a stop request ends the wait)
};

// Full buffers are written out on a background thread (started with the
// first full buffer, so a small file needs none) while the caller fills the
// next; up to two wait for it, so that a stall of the disk does not stop the
// caller at once. A failure of a background write is reported by the next
// call that writes, flushes or closes, and nothing more is
// written after it.
class OutputFile {
  public:
    // Takes ownership of `file`; errors name `displayPath`.
    OutputFile(os::NativeFile file, std::string displayPath, OutputKind kind);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void Write(const void* data, std::size_t size);
    void Write(std::string_view text) { Write(text.data(), text.size()); }
    void WriteLine(std::string_view text);  // text followed by CR LF

    // Room for at least `size` bytes in the buffer, filled by the caller and
    // then accounted with Commit. `size` must not exceed kIoBlock.
    char* Reserve(std::size_t size);
    void Commit(std::size_t size);

    // Bytes written so far, buffered ones included.
    std::int64_t Position() const { return flushed_ + static_cast<std::int64_t>(used_); }

    void Flush();  // returns once everything written so far is in the file
    void Close();  // flushes and closes; reports a failure
    bool IsOpen() const { return file_ != os::kNoFile; }
    os::NativeFile Native() const { return file_; }

  private:
    struct Background;
    struct Writeback;
    void WriteOut(const char* data, std::size_t size);  // in pieces, with writeback
    void Grow(std::size_t needed);                      // a larger buffer, up to kIoBlock
    void HandOff();  // queues the full buffer and takes a free one
    void Wait();     // waits for the background write; reports its failure

    os::NativeFile file_;
    std::string displayPath_;
    OutputKind kind_;
    static constexpr int kBuffers = 3;  // of kIoBlock at most: one filled, two written
    std::unique_ptr<char[]> buffer_;
    int buffers_ = 1;       // made so far
    std::size_t capacity_;  // of buffer_
    std::size_t used_ = 0;
    std::int64_t flushed_ = 0;  // bytes handed to the system or to the thread
    std::unique_ptr<Writeback> writeback_;
    std::unique_ptr<Background> background_;
};

}  // namespace vagliante
