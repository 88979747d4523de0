// File streams over the operating system's calls, in large blocks.
//
//   InputFile     an existing file read as raw bytes
//   OutputFile    a buffered sequential writer over an open file
//   AtomicOutput  a destination written to a temporary file beside it and
//                 moved over it only when the whole run has succeeded
//   WorkFile      a uniquely named scratch file in the temporary folder,
//                 removed whatever happens
//   LineReader    text lines ended by CR LF (or LF), read back in blocks
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os_file.h"

namespace vagliante {

inline constexpr std::size_t kIoBlock = std::size_t{1} << 20;  // 1 MiB

class InputFile {
  public:
    explicit InputFile(std::string path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    std::int64_t Length() const { return length_; }
    const std::string& Path() const { return path_; }

    // Reads until `size` bytes are in or the file ends; returns the count.
    std::size_t Read(void* buffer, std::size_t size);
    // Reads from the first byte again.
    void Rewind() { os::Rewind(file_, path_); }

  private:
    std::string path_;
    os::NativeFile file_;
    std::int64_t length_;
};

// Full buffers are written out on a background thread (started with the
// first full buffer, so a small file needs none) while the caller fills the
// other one. A failure of a background write is reported by the next call
// that writes, truncates, flushes or closes.
class OutputFile {
  public:
    // Takes ownership of `file`; errors name `displayPath`.
    OutputFile(os::NativeFile file, std::string displayPath);
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
    // Drops everything written after `position`.
    void TruncateTo(std::int64_t position);

    void Flush();  // returns once everything written so far is in the file
    void Close();  // flushes and closes; reports a failure
    bool IsOpen() const { return file_ != os::kNoFile; }

  private:
    struct Background;
    void Grow(std::size_t needed);  // a larger buffer, up to kIoBlock
    void HandOff();                 // queues the full buffer and takes the other one
    void Wait();                    // waits for the background write; reports its failure

    os::NativeFile file_;
    std::string displayPath_;
    std::unique_ptr<char[]> buffer_;
    std::unique_ptr<char[]> spare_;  // the buffer being written, or free
    std::size_t capacity_;           // of buffer_
    std::size_t used_ = 0;
    std::int64_t flushed_ = 0;  // bytes handed to the system or to the thread
    std::unique_ptr<Background> background_;
};

class AtomicOutput {
  public:
    explicit AtomicOutput(std::string destination);
    ~AtomicOutput();  // an output never published leaves no trace
    AtomicOutput(const AtomicOutput&) = delete;
    AtomicOutput& operator=(const AtomicOutput&) = delete;

    OutputFile& Stream() { return *stream_; }
    const std::string& Destination() const { return destination_; }
    const std::string& TemporaryPath() const { return temporary_; }

    void Finish();   // writes out and closes the temporary file
    void Publish();  // moves it over the destination
    void Commit() {
        Finish();
        Publish();
    }

  private:
    std::string destination_;
    std::string temporary_;
    std::unique_ptr<OutputFile> stream_;
    bool published_ = false;
};

class WorkFile {
  public:
    WorkFile();
    ~WorkFile();
    WorkFile(const WorkFile&) = delete;
    WorkFile& operator=(const WorkFile&) = delete;

    const std::string& Path() const { return path_; }
    // The writer of the scan; closed with CloseWriter before reading back.
    OutputFile& Writer() { return *writer_; }
    void CloseWriter() { writer_->Close(); }

  private:
    std::string path_;
    std::unique_ptr<OutputFile> writer_;
};

class LineReader {
  public:
    // Keeps at most `keep` characters of each line in memory, so that a
    // line of any length costs no more than that; Length() is always whole.
    LineReader(InputFile& input, std::size_t keep);

    // Advances to the next line; false at the end of the file. A last line
    // without a line end still counts as a line.
    bool Next();
    std::string_view Head() const { return head_; }  // first `keep` characters
    std::int64_t Length() const { return length_; }  // without CR LF

  private:
    bool Fill();
    void DropCarriageReturn(char last);

    InputFile& input_;
    std::size_t keep_;
    std::unique_ptr<char[]> block_;  // not zeroed: only what is read is touched
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::string head_;
    std::int64_t length_ = 0;
};

}  // namespace vagliante
