#include "filter/stretches.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/run_error.h"

namespace vagliante {
namespace {

// More workers than this gain little (memory, and the disk, become the
// limit) and each holds a few MiB.
constexpr int kMostWorkers = 8;

// Bytes counted in one turn of a worker.
constexpr std::int64_t kCountTurn = std::int64_t{4} << 20;

// How long the calling thread waits for a stretch before it looks for a
// stop request again.
constexpr auto kStopLook = std::chrono::milliseconds(50);

// The cores the workers of every run of this process share. A run's first
// worker is always taken, so a run never waits for another; more are taken
// only while cores are free, and given back when more are taken than there
// are cores.
class Cores {
  public:
    static Cores& OfProcess() {
        static Cores cores;
        return cores;
    }
    int Count() const { return count_; }
    void TakeFirst() { taken_.fetch_add(1); }
    bool TakeMore() {
        int taken = taken_.load();
        while (taken < count_)
            if (taken_.compare_exchange_weak(taken, taken + 1)) return true;
        return false;
    }
    // Gives one back if more are taken than there are cores.
    bool GiveSurplus() {
        int taken = taken_.load();
        while (taken > count_)
            if (taken_.compare_exchange_weak(taken, taken - 1)) return true;
        return false;
    }
    void Give() { taken_.fetch_sub(1); }

  private:
    Cores()
        : count_(
              std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, kMostWorkers)) {}
    const int count_;
    std::atomic<int> taken_{0};
};

// Every thread of the workers starts here. One that cannot start (no memory
// left for it) is OutOfMemory.
std::thread StartThread(std::function<void()> body) {
    try {
        return std::thread(std::move(body));
    } catch (const std::system_error&) {
        throw RunError(ErrorNumber::OutOfMemory, "");
    }
}

}  // namespace

void StretchText::Grow(std::size_t size) {
    const std::size_t capacity = std::max({size_ + size, 2 * capacity_, std::size_t{64} << 10});
    std::unique_ptr<char[]> larger(new char[capacity]);
    if (size_ > 0) std::memcpy(larger.get(), data_.get(), size_);
    data_ = std::move(larger);
    capacity_ = capacity;
}

void StretchText::WriteTo(OutputFile& out) {
    constexpr std::size_t kPart = kIoBlock / 4;
    for (std::size_t done = 0; done < size_; done += kPart)
        out.Write(data_.get() + done, std::min(kPart, size_ - done));
    size_ = 0;
}

// The workers of one pass over the stretches, and what they share with the
// calling thread.
struct LogStretches::Crew {
    LogStretches& run;
    const std::function<void(StretchWorker&, std::int64_t)>& work;
    std::int64_t tasks;
    std::int64_t window;  // how far past the last stretch handed on a worker may go

    std::mutex mutex;
    // Wakes the calling thread: the stretch it waits for is done, or a
    // worker has ended. Each wake-up costs a switch between threads, so it
    // is sent only when it is wanted.
    std::condition_variable ready;
    // Wakes the workers that wait for a free slot.
    std::condition_variable room;
    int waitingForRoom = 0;
    std::int64_t next = 0;           // the next stretch to take
    std::int64_t delivered = 0;      // stretches handed on
    std::vector<std::int64_t> done;  // per slot, the stretch done in it (-1: none)
    std::vector<bool> indexTaken;    // per worker index
    int running = 0;
    std::exception_ptr failure;
    std::atomic<bool> cancelled{false};
    std::vector<std::thread> threads;

    Crew(LogStretches& run, const std::function<void(StretchWorker&, std::int64_t)>& work,
         std::int64_t tasks)
        : run(run),
          work(work),
          tasks(tasks),
          window(run.slots_),
          done(static_cast<std::size_t>(run.slots_), -1),
          indexTaken(static_cast<std::size_t>(run.maxWorkers_), false) {}

    // Starts a worker; the lock is held.
    void Start() {
        const auto free = std::find(indexTaken.begin(), indexTaken.end(), false);
        const int index = static_cast<int>(free - indexTaken.begin());
        threads.reserve(threads.size() + 1);  // so that a started thread always has its place
        threads.push_back(StartThread([this, index] { Serve(index); }));
        *free = true;
        ++running;
    }

    // One worker's turns: the next stretch while its slot is free, until
    // none is left, the run ends, or its core is wanted by another run.
    void Serve(int index) {
        StretchWorker worker(index, *run.views_[static_cast<std::size_t>(index)], cancelled);
        bool gaveCore = false;
        std::unique_lock lock(mutex);
        for (;;) {
            ++waitingForRoom;
            room.wait(lock, [this] {
                return cancelled.load() || next >= tasks || next < delivered + window;
            });
            --waitingForRoom;
            if (cancelled.load() || next >= tasks) break;
            if (!run.fixed_ && running > 1 && Cores::OfProcess().GiveSurplus()) {
                gaveCore = true;
                break;
            }
            const std::int64_t task = next++;
            lock.unlock();
            try {
                work(worker, task);
            } catch (...) {
                lock.lock();
                if (!failure) failure = std::current_exception();
                cancelled.store(true);
                break;
            }
            lock.lock();
            done[static_cast<std::size_t>(task % window)] = task;
            if (task == delivered) ready.notify_one();
        }
        indexTaken[static_cast<std::size_t>(index)] = false;
        --running;
        if (!run.fixed_ && !gaveCore) Cores::OfProcess().Give();
        ready.notify_one();
    }

    // Ends every worker (those busy with a stretch finish it, or see the
    // run cancelled), then waits for them.
    void End() noexcept {
        {
            std::lock_guard lock(mutex);
            cancelled.store(true);
        }
        room.notify_all();
        for (std::thread& thread : threads) thread.join();
    }
};

LogStretches::LogStretches(const InputFile& log, std::int64_t length, Marker marker,
                           const ScanOptions& options, ProgressTracker& tracker)
    : log_(log),
      length_(length),
      marker_(marker),
      stretch_(std::max<std::int64_t>(options.stretch, 1)),
      // At least the head of a record that the filters read.
      margin_(std::max<std::size_t>(options.margin, 256)),
      count_((length + stretch_ - 1) / stretch_),
      fixed_(options.workers > 0),
      tracker_(tracker) {
    const std::int64_t wanted = fixed_ ? options.workers : Cores::OfProcess().Count();
    maxWorkers_ = static_cast<int>(std::max<std::int64_t>(1, std::min(wanted, count_)));
    slots_ = std::min(2 * maxWorkers_, maxWorkers_ + 4);
    for (int i = 0; i < maxWorkers_; ++i) views_.push_back(std::make_unique<FileView>(log, length));
}

LogStretches::~LogStretches() = default;

void LogStretches::Run(std::int64_t tasks,
                       const std::function<void(StretchWorker&, std::int64_t)>& work,
                       const std::function<void(std::int64_t)>& deliver) {
    if (tasks <= 1) {
        // One turn: taken here, with no thread.
        const std::atomic<bool> never{false};
        StretchWorker worker(0, *views_[0], never);
        for (std::int64_t k = 0; k < tasks; ++k) {
            work(worker, k);
            deliver(k);
        }
        return;
    }
    Crew crew(*this, work, tasks);
    std::unique_lock lock(crew.mutex);
    try {
        if (fixed_) {
            for (std::int64_t i = 0; i < std::min<std::int64_t>(maxWorkers_, tasks); ++i)
                crew.Start();
        } else {
            Cores::OfProcess().TakeFirst();
            try {
                crew.Start();
            } catch (...) {
                Cores::OfProcess().Give();
                throw;
            }
        }
        while (crew.delivered < tasks && !crew.failure) {
            const std::int64_t k = crew.delivered;
            if (crew.done[static_cast<std::size_t>(k % crew.window)] == k) {
                lock.unlock();
                deliver(k);
                lock.lock();
                ++crew.delivered;
                if (crew.waitingForRoom > 0) crew.room.notify_all();
                // Cores that other runs have left free.
                while (!fixed_ && crew.running < maxWorkers_ && tasks - crew.next > crew.running &&
                       Cores::OfProcess().TakeMore()) {
                    try {
                        crew.Start();
                    } catch (...) {
                        Cores::OfProcess().Give();
                        throw;
                    }
                }
                continue;
            }
            crew.ready.wait_for(lock, kStopLook);
            lock.unlock();
            tracker_.ThrowIfStopped();
            lock.lock();
        }
    } catch (...) {
        if (lock.owns_lock()) lock.unlock();
        crew.End();
        throw;
    }
    lock.unlock();
    crew.End();
    if (crew.failure) std::rethrow_exception(crew.failure);
}

std::int64_t LogStretches::CountRecords() {
    // Several stretches a turn: fewer views to map, and fewer turns.
    const std::int64_t group = std::max<std::int64_t>(1, kCountTurn / stretch_);
    std::vector<std::int64_t> counts(static_cast<std::size_t>(count_), 0);
    Run((count_ + group - 1) / group,
        [&](StretchWorker& worker, std::int64_t turn) {
            const std::int64_t first = turn * group, last = std::min(count_, first + group) - 1;
            const std::int64_t start = Start(first), end = End(last);
            // And the byte after, for a marker across the last stretch's end.
            const std::size_t size =
                static_cast<std::size_t>(end - start + (end < length_ ? 1 : 0));
            worker.View().Read(start, size, [&](const std::uint8_t* data) {
                for (std::int64_t k = first; k <= last; ++k)
                    counts[static_cast<std::size_t>(k)] =
                        CountMarkers(data + (Start(k) - start),
                                     CandidateEnd(length_, Start(k),
                                                  static_cast<std::size_t>(End(k) - Start(k))),
                                     marker_);
            });
        },
        [&](std::int64_t turn) {
            tracker_.At(End(std::min(count_, (turn + 1) * group) - 1) / 2 + 1);
        });
    before_.assign(static_cast<std::size_t>(count_) + 1, 0);
    for (std::size_t k = 0; k < counts.size(); ++k) before_[k + 1] = before_[k] + counts[k];
    return std::max<std::int64_t>(Markers() - 1, 0);
}

void LogStretches::Select(const std::function<void(StretchWorker&, std::int64_t, int)>& work,
                          const std::function<void(std::int64_t, int)>& deliver) {
    Run(
        count_, [&](StretchWorker& worker, std::int64_t k) { work(worker, k, SlotOf(k)); },
        [&](std::int64_t k) {
            deliver(k, SlotOf(k));
            tracker_.At((length_ + End(k)) / 2 + 1);
        });
    views_[0]->CheckLength();
}

}  // namespace vagliante
