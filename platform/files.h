// File streams over the operating system's calls, in large blocks.
//
//   InputFile     an existing file read as raw bytes (or, where allowed, a
//                 pipe or device)
//   FileBlocks    a regular file's bytes block by block, for one of several
//                 threads that scan it at once
//   OutputFile    a buffered sequential writer over an open file
//   AtomicOutput  a destination written to a temporary file beside it and
//                 put in its place only when the whole run has succeeded
//   OutputSet     several such destinations put in place as one
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os_file.h"
#include "platform/progress.h"
#include "platform/stop.h"

namespace vagliante {

inline constexpr std::size_t kIoBlock = std::size_t{1} << 20;  // 1 MiB

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

enum class OutputKind {
    Plain,    // a file, written through the system's cache
    Durable,  // a file whose written stretches go on to the disk while the next is written
    Stream,   // a pipe or device, whose writes may wait (a stop request ends the wait)
};

// Full buffers are written out on a background thread (started with the
// first full buffer, so a small file needs none) while the caller fills the
// other one. A failure of a background write is reported by the next call
// that writes, truncates, flushes or closes.
class OutputFile {
  public:
    // Takes ownership of `file`; errors name `displayPath`.
    OutputFile(os::NativeFile file, std::string displayPath, OutputKind kind = OutputKind::Plain);
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
    // Writes `bytes` over what was written from `position` (the whole stretch
    // written before). Not for a stream, which cannot go back.
    void Overwrite(std::int64_t position, std::string_view bytes);

    void Flush();  // returns once everything written so far is in the file
    void Close();  // flushes and closes; reports a failure
    bool IsOpen() const { return file_ != os::kNoFile; }
    os::NativeFile Native() const { return file_; }

  private:
    struct Background;
    struct Writeback;
    void WriteOut(const char* data, std::size_t size);  // in pieces, with writeback
    void Grow(std::size_t needed);                      // a larger buffer, up to kIoBlock
    void HandOff();  // queues the full buffer and takes the other one
    void Wait();     // waits for the background write; reports its failure

    os::NativeFile file_;
    std::string displayPath_;
    OutputKind kind_;
    std::unique_ptr<char[]> buffer_;
    std::unique_ptr<char[]> spare_;  // the buffer being written, or free
    std::size_t capacity_;           // of buffer_
    std::size_t used_ = 0;
    std::int64_t flushed_ = 0;  // bytes handed to the system or to the thread
    std::unique_ptr<Writeback> writeback_;
    std::unique_ptr<Background> background_;
};

// One output. A regular file (or a name for one yet to be made) is written
// to a temporary file beside it, readable by its owner only; Commit flushes
// it to the disk, gives it what the old file had (permissions, owner, group,
// extended attributes and ACLs) and puts it in place in one step, the folder
// flushed after. A symbolic link is followed: the link stays and its target
// is replaced. A pipe or device is written directly, in sequence. An output
// destroyed before its Commit leaves no trace.
class AtomicOutput {
  public:
    explicit AtomicOutput(std::string destination);
    ~AtomicOutput();
    AtomicOutput(const AtomicOutput&) = delete;
    AtomicOutput& operator=(const AtomicOutput&) = delete;

    OutputFile& Stream() { return *stream_; }
    const std::string& Destination() const { return destination_; }
    // Empty when the output is written directly.
    const std::string& TemporaryPath() const { return temporary_; }
    bool IsDirect() const { return temporary_.empty(); }

    // Puts the output in place; with a tracker, the bar moves while it does.
    void Commit(ProgressTracker* tracker = nullptr);

  private:
    friend class OutputSet;
    void Seal();  // flushed to the disk (a direct output closed)
    // Given the old file's attributes, closed and swapped with the old file,
    // which is then at the path returned (empty for a new file).
    std::string PutInPlace();

    std::optional<CleanupScope> cleanup_;  // first made, last gone
    std::string destination_;
    std::string target_;  // the file to replace, links followed
    std::string temporary_;
    bool replacing_ = false;
    std::unique_ptr<OutputFile> stream_;
    bool published_ = false;
};

// Outputs that change together: after Commit all are new; after a failure
// or a stop (a signal between two of the renames included) all are as they
// were. Two runs putting the same names in place at once take turns.
class OutputSet {
  public:
    explicit OutputSet(const std::vector<std::string>& destinations);
    AtomicOutput& operator[](std::size_t i) { return *outputs_[i]; }
    std::size_t Size() const { return outputs_.size(); }

    void Commit(ProgressTracker* tracker = nullptr);

  private:
    friend class AtomicOutput;
    static void Publish(const std::vector<AtomicOutput*>& outputs, ProgressTracker* tracker);

    std::vector<std::unique_ptr<AtomicOutput>> outputs_;
};

}  // namespace vagliante
