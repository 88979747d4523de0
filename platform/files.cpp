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
    void Cut(std::int64_t length) {
        written = length;
        started = std::min(started, length);
        waited = std::min(waited, length);
    }
};

void OutputFile::WriteOut(const char* data, std::size_t size) {
    for (std::size_t done = 0; done < size; done += kWritePiece) {
        const std::size_t piece = std::min(kWritePiece, size - done);
        os::WriteAll(file_, data + done, piece, displayPath_, kind_ == OutputKind::Stream);
        if (writeback_) writeback_->After(file_, piece);
    }
}

// ---- InputFile ----

InputFile::InputFile(std::string path, bool streams)
    : path_(std::move(path)), file_(os::OpenRead(path_, streams)), stream_(false), length_(0) {
    try {
        stream_ = !os::IsRegularFile(file_);
        if (!stream_) length_ = os::Length(file_, path_);
    } catch (...) {
        os::CloseQuietly(file_);
        throw;
    }
}

InputFile::~InputFile() { os::CloseQuietly(file_); }

std::size_t InputFile::Read(void* buffer, std::size_t size) {
    if (!stream_) {
        const std::int64_t left = length_ - position_;
        if (static_cast<std::int64_t>(size) > left) size = static_cast<std::size_t>(left);
    }
    auto* p = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        std::size_t n = os::ReadSome(file_, p + done, size - done, path_, stream_);
        if (n == 0) {
            // Shorter than when it was opened: another program cut it.
            if (!stream_) throw RunError(ErrorNumber::PastEndOfFile, path_);
            break;
        }
        done += n;
    }
    position_ += static_cast<std::int64_t>(done);
    return done;
}

void InputFile::RefuseAsOutput(const std::string& destination) const {
    if (os::SameFile(file_, destination)) throw RunError(ErrorNumber::FileAlreadyOpen, destination);
}

// ---- FileBlocks ----

FileBlocks::FileBlocks(const InputFile& file, std::int64_t length, bool map)
    : file_(file), length_(length), mapped_(map && os::MapsFiles()) {
    // Blocks start at multiples of kBlock, and so may windows.
    if (mapped_ && kBlock % os::MapAlignment() != 0) mapped_ = false;
}

FileBlocks::~FileBlocks() { Release(); }

void FileBlocks::Release() noexcept {
    os::Unmap(view_, viewSize_);
    view_ = nullptr;
    viewSize_ = 0;
}

bool FileBlocks::Fetch() {
    if (next_ >= length_) {
        // A page that the file's new end cuts reads as zeros past that end,
        // without a fault: a file cut there is seen by its length.
        if (mapped_ && os::Length(file_.Native(), file_.Path()) < length_)
            throw RunError(ErrorNumber::PastEndOfFile, file_.Path());
        return false;
    }
    start_ = next_;
    count_ = static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(kBlock), length_ - start_));
    next_ += static_cast<std::int64_t>(count_);
    const std::size_t need = count_ + (next_ < length_ ? 1 : 0);  // and the byte after
    if (mapped_) {
        if (view_ == nullptr || start_ + static_cast<std::int64_t>(need) >
                                    viewStart_ + static_cast<std::int64_t>(viewSize_)) {
            Release();
            viewStart_ = start_;
            viewSize_ = static_cast<std::size_t>(std::min<std::int64_t>(
                static_cast<std::int64_t>(kWindow) + 1, length_ - viewStart_));
            view_ = os::MapRead(file_.Native(), viewStart_, viewSize_, file_.Path());
            // A log not in memory yet: the next window is on its way while
            // this one is scanned.
            const std::int64_t after = viewStart_ + static_cast<std::int64_t>(viewSize_);
            os::ReadAhead(
                file_.Native(), after,
                std::min<std::int64_t>(static_cast<std::int64_t>(kWindow), length_ - after));
        }
        if (view_ != nullptr) {
            data_ = view_ + (start_ - viewStart_);
            return true;
        }
        mapped_ = false;  // not to be mapped: read from here on
        viewSize_ = 0;
    }
    if (!buffer_) {
        // No larger than the file: a small one costs little.
        buffer_.reset(new std::uint8_t[static_cast<std::size_t>(std::min<std::int64_t>(
                                           length_, static_cast<std::int64_t>(kBlock))) +
                                       1]);
    }
    if (os::ReadAt(file_.Native(), start_, buffer_.get(), need, file_.Path()) < need)
        throw RunError(ErrorNumber::PastEndOfFile, file_.Path());
    data_ = buffer_.get();
    return true;
}

void FileBlocks::Faulted() const {
    // Cut shorter by another program, or a page the disk could not give.
    if (os::Length(file_.Native(), file_.Path()) < length_)
        throw RunError(ErrorNumber::PastEndOfFile, file_.Path());
    throw RunError(ErrorNumber::DeviceIo, file_.Path());
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

    void Run(OutputFile& out) {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return stop || data != nullptr; });
            if (data == nullptr) return;
            const char* block = data;
            const std::size_t n = size;
            lock.unlock();
            std::exception_ptr error;
            try {
                out.WriteOut(block, n);
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
        WriteOut(buffer_.get(), used_);
        flushed_ += static_cast<std::int64_t>(used_);
        used_ = 0;
        return;
    }
    if (!background_) {
        background_ = std::make_unique<Background>();
        spare_.reset(new char[kIoBlock]);
        background_->thread = std::thread([this] { background_->Run(*this); });
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

void OutputFile::TruncateTo(std::int64_t position) {
    if (position >= flushed_) {
        used_ = static_cast<std::size_t>(position - flushed_);
        return;
    }
    Wait();
    used_ = 0;
    os::Truncate(file_, position, displayPath_);
    if (writeback_) writeback_->Cut(position);
    flushed_ = position;
}

void OutputFile::Overwrite(std::int64_t position, std::string_view bytes) {
    const std::int64_t end = position + static_cast<std::int64_t>(bytes.size());
    if (end > flushed_) {
        // The part still in the buffer.
        const std::int64_t from = std::max(position, flushed_);
        std::memcpy(buffer_.get() + (from - flushed_), bytes.data() + (from - position),
                    static_cast<std::size_t>(end - from));
    }
    if (position < flushed_) {
        // The part in the file, once the background write is done with it.
        Wait();
        os::WriteAt(file_, position, bytes.data(),
                    static_cast<std::size_t>(std::min(end, flushed_) - position), displayPath_);
    }
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
    os::OutputPlace place = os::PlaceOutput(destination_);
    if (place.direct != os::kNoFile) {
        stream_ = std::make_unique<OutputFile>(place.direct, destination_, OutputKind::Stream);
        return;
    }
    target_ = std::move(place.target);
    cleanup_.emplace();
    os::NativeFile file;
    try {
        file = os::CreateTemporary(target_, temporary_);
    } catch (const RunError& e) {
        // Name the file the user asked for, not our temporary one.
        throw RunError(e.Code(), destination_);
    }
    stream_ = std::make_unique<OutputFile>(file, destination_, OutputKind::Durable);
}

AtomicOutput::~AtomicOutput() {
    stream_.reset();
    if (!published_ && !temporary_.empty()) os::RemoveQuietly(temporary_);
}

void AtomicOutput::Seal() {
    if (IsDirect()) {
        stream_->Close();
        return;
    }
    stream_->Flush();
    os::SyncData(stream_->Native(), destination_);
}

std::string AtomicOutput::PutInPlace() {
    try {
        // Decided now, under the folder's lock: another run may have made
        // the file since this one began.
        replacing_ = os::Exists(target_);
        os::TakeOver(stream_->Native(), target_, replacing_);
        stream_->Close();
        return os::Swap(temporary_, target_, replacing_);
    } catch (const RunError& e) {
        throw RunError(e.Code(), destination_);
    }
}

void AtomicOutput::Commit(ProgressTracker* tracker) {
    std::vector<AtomicOutput*> one{this};
    OutputSet::Publish(one, tracker);
}

// ---- OutputSet ----

OutputSet::OutputSet(const std::vector<std::string>& destinations) {
    for (const std::string& destination : destinations)
        outputs_.push_back(std::make_unique<AtomicOutput>(destination));
}

void OutputSet::Commit(ProgressTracker* tracker) {
    std::vector<AtomicOutput*> all;
    for (auto& output : outputs_) all.push_back(output.get());
    Publish(all, tracker);
}

namespace {

// The folders a set puts files in, each locked once, in one order for
// every run so that two runs cannot wait for each other.
class FolderLocks {
  public:
    explicit FolderLocks(std::vector<std::string> folders) {
        std::sort(folders.begin(), folders.end());
        folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
        for (const std::string& folder : folders) locks_.push_back(os::LockFolder(folder));
        folders_ = std::move(folders);
    }
    ~FolderLocks() {
        for (auto it = locks_.rbegin(); it != locks_.rend(); ++it) os::UnlockFolder(*it);
    }
    FolderLocks(const FolderLocks&) = delete;
    FolderLocks& operator=(const FolderLocks&) = delete;
    const std::vector<std::string>& Folders() const { return folders_; }

  private:
    std::vector<std::string> folders_;
    std::vector<os::NativeFile> locks_;
};

}  // namespace

void OutputSet::Publish(const std::vector<AtomicOutput*>& outputs, ProgressTracker* tracker) {
    // The bar's last stretch: half for the flushing, half for the renames.
    const double steps = 2.0 * static_cast<double>(outputs.size()) + 1.0;
    double step = 0;
    auto moved = [&] {
        if (tracker) tracker->Finishing(++step / steps);
    };
    auto stopped = [&] { return tracker ? tracker->StopRequested() : StopSignal() != 0; };

    for (AtomicOutput* output : outputs) {
        output->Seal();
        moved();
    }
    // The last moment a stop simply leaves everything as it was.
    if (stopped()) throw RunStopped();

    std::vector<std::string> folders;
    for (AtomicOutput* output : outputs)
        if (!output->IsDirect()) folders.push_back(os::FolderOf(output->target_));
    FolderLocks locks(folders);

    // Each swap leaves the old file under a name of ours until all are in
    // place; any failure, or a stop that came meanwhile, puts them back.
    struct Done {
        AtomicOutput* output;
        std::string old;
    };
    std::vector<Done> done;
    auto restore = [&] {
        for (auto it = done.rbegin(); it != done.rend(); ++it)
            os::Restore(it->old, it->output->target_, it->output->temporary_);
    };
    try {
        for (AtomicOutput* output : outputs) {
            if (output->IsDirect()) continue;
            std::string old = output->PutInPlace();
            done.push_back({output, std::move(old)});
            moved();
        }
        if (stopped()) throw RunStopped();
        for (const std::string& folder : locks.Folders()) os::SyncFolder(folder);
    } catch (...) {
        restore();
        throw;
    }
    for (Done& d : done) {
        d.output->published_ = true;
        if (!d.old.empty()) os::Discard(d.old);
    }
    moved();
}

}  // namespace vagliante
