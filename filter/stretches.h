// A log read on several workers at once.
//
// The log is cut into stretches of equal size (the last one shorter). Each
// worker, on its own thread, takes the next stretch that no other has taken
// and reads it whole; what it makes of the stretch waits in a slot until
// the calling thread, which takes the slots in the order of the stretches,
// has written it out. So the output is the one a single scan from the
// log's first byte to its last would give, and memory stays bounded
// whatever the log's size: a worker takes a stretch only while its slot is
// free, and there are a few slots per worker.
//
// The runs of one process share its cores: a run starts one worker, and more
// while cores are free; when a later run wants its share, a worker leaves
// after the stretch in hand.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "filter/markers.h"
#include "filter/scan_options.h"
#include "platform/input_file.h"
#include "platform/output_file.h"
#include "platform/progress.h"

namespace vagliante {

// Text that a worker makes of a stretch, kept until it is written out: a
// buffer that grows as needed and keeps its room for the next stretch.
class StretchText {
  public:
    // Room for `size` more bytes, filled by the caller and then accounted
    // with Commit.
    char* Reserve(std::size_t size) {
        if (capacity_ - size_ < size) Grow(size);
        return data_.get() + size_;
    }
    void Commit(std::size_t size) { size_ += size; }

    // Writes the text to `out` in parts that `out` copies into its buffer,
    // so that its own thread writes them out; then clears it.
    void WriteTo(OutputFile& out);

  private:
    void Grow(std::size_t size);
    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// Markers listed at once (ListMarkers) while a stretch is read.
inline constexpr std::size_t kMarkerList = 256;

// What a worker has of its own while it reads a stretch.
class StretchWorker {
  public:
    StretchWorker(int index, FileView& view, const std::atomic<bool>& cancelled)
        : index_(index), view_(view), cancelled_(cancelled) {}

    // From 0 to LogStretches::MaxWorkers() - 1: no two workers of a run have
    // the same index at once, so state kept per index is theirs alone.
    int Index() const { return index_; }
    FileView& View() { return view_; }
    // The run ends early (a failure or a stop): what the stretch gives is
    // not wanted any more.
    bool Cancelled() const { return cancelled_.load(std::memory_order_relaxed); }

  private:
    int index_;
    FileView& view_;
    const std::atomic<bool>& cancelled_;
};

class LogStretches {
  public:
    // The first `length` bytes of `log`, searched for `marker`; the bar
    // `tracker` follows the count over its first half and the selection
    // over its second.
    LogStretches(const InputFile& log, std::int64_t length, Marker marker,
                 const ScanOptions& options, ProgressTracker& tracker);
    ~LogStretches();
    LogStretches(const LogStretches&) = delete;
    LogStretches& operator=(const LogStretches&) = delete;

    std::int64_t Length() const { return length_; }
    Marker Searched() const { return marker_; }
    std::size_t Margin() const { return margin_; }
    std::int64_t Count() const { return count_; }
    std::int64_t Start(std::int64_t k) const { return k * stretch_; }
    std::int64_t End(std::int64_t k) const { return std::min(length_, (k + 1) * stretch_); }

    // The most workers this run may have at once, and the slots in which
    // stretches wait to be written: state kept per worker or per slot is
    // made this many times.
    int MaxWorkers() const { return maxWorkers_; }
    int Slots() const { return slots_; }
    int SlotOf(std::int64_t k) const { return static_cast<int>(k % slots_); }

    // Counts the recognised markers of every stretch, on the workers.
    // Returns the records of the log: every marker but the first closes one.
    std::int64_t CountRecords();
    // After CountRecords: the markers of the stretches before stretch k, and
    // of the whole log.
    std::int64_t MarkersBefore(std::int64_t k) const {
        return before_[static_cast<std::size_t>(k)];
    }
    std::int64_t Markers() const { return before_.back(); }

    // Calls work(worker, k, slot) for every stretch k on the workers, and
    // deliver(k, slot) on this thread in the order of the stretches, as soon
    // as stretch k and every one before it are done; then checks that the
    // log was not cut meanwhile. `work` writes only into its own slot.
    // Whatever ends the run early (a failure of a worker or of `deliver`, a
    // stop request) ends every worker before it is thrown here.
    void Select(const std::function<void(StretchWorker&, std::int64_t, int)>& work,
                const std::function<void(std::int64_t, int)>& deliver);

  private:
    struct Crew;
    // work(worker, turn) for turns 0 to tasks - 1 on the workers, at most
    // Slots() turns ahead of the last one handed to deliver(turn) here.
    void Run(std::int64_t tasks, const std::function<void(StretchWorker&, std::int64_t)>& work,
             const std::function<void(std::int64_t)>& deliver);

    const InputFile& log_;
    std::int64_t length_;
    Marker marker_;
    std::int64_t stretch_;
    std::size_t margin_;
    std::int64_t count_;  // stretches
    bool fixed_;          // exactly maxWorkers_ workers, cores or not
    int maxWorkers_;
    int slots_;
    ProgressTracker& tracker_;
    std::vector<std::unique_ptr<FileView>> views_;  // one per worker index
    std::vector<std::int64_t> before_;              // markers before each stretch, and in all
};

}  // namespace vagliante
