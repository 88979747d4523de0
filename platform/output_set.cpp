#include "platform/output_set.h"

#include <algorithm>
#include <string_view>

#include "platform/run_error.h"

namespace vagliante {

namespace {

// A new file beside `target` for its replacement, readable and writable by
// its owner only: "NAME.~vagliante-XXXXXXXX.tmp", NAME shortened when the
// whole would pass the system's limit for a name.
os::NativeFile CreateTemporary(const std::string& target, std::string& temporary) {
    static constexpr std::string_view kMark = ".~vagliante-";
    const std::string stem =
        os::ShortenedToFit(target, kMark.size() + os::kRandomTagLength + 4) + std::string(kMark);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = stem + os::RandomTag() + ".tmp";
        const os::NativeFile file = os::CreateNew(temporary);
        if (file != os::kNoFile) return file;
    }
    throw RunError(ErrorNumber::PathFileAccess, target);
}

}  // namespace

// ---- AtomicOutput ----

AtomicOutput::AtomicOutput(std::string destination) : destination_(std::move(destination)) {
    os::OutputPlace place = os::PlaceOutput(destination_);
    if (place.direct != os::kNoFile) {
        stream_ = std::make_unique<OutputFile>(place.direct, destination_, OutputKind::Stream);
        return;
    }
    target_ = std::move(place.target);
    os::NativeFile file;
    try {
        file = CreateTemporary(target_, temporary_);
    } catch (const RunError& e) {
        // Name the file the user asked for, not our temporary one.
        throw RunError(e.Code(), destination_, e.Detail());
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

std::string AtomicOutput::PutInPlace(const os::StopCheck& stopped) {
    try {
        // Decided now, under the folder's lock: another run may have made
        // the file since this one began.
        const bool replacing = os::Exists(target_);
        os::TakeOver(stream_->Native(), target_, replacing);
        stream_->Close();
        return os::Swap(temporary_, target_, replacing, stopped);
    } catch (const RunError& e) {
        throw RunError(e.Code(), destination_, e.Detail());
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
// every run so that two runs cannot wait for each other. A folder is known
// by its identity, not its spelling: a link to a report may name the
// folder of the others another way, and a folder locked twice would wait
// for itself.
class FolderLocks {
  public:
    explicit FolderLocks(const std::vector<std::string>& folders) {
        std::vector<std::pair<std::string, std::string>> known;  // identity, folder
        for (const std::string& folder : folders) {
            std::string identity = os::FileIdentity(folder);
            known.emplace_back(identity.empty() ? "path " + folder : std::move(identity), folder);
        }
        std::sort(known.begin(), known.end());
        known.erase(std::unique(known.begin(), known.end(),
                                [](const auto& a, const auto& b) { return a.first == b.first; }),
                    known.end());
        try {
            for (const auto& [identity, folder] : known) {
                locks_.push_back(os::LockFolder(folder));
                folders_.push_back(folder);
            }
        } catch (...) {  // a stop while waiting for another run
            Release();
            throw;
        }
    }
    ~FolderLocks() { Release(); }
    FolderLocks(const FolderLocks&) = delete;
    FolderLocks& operator=(const FolderLocks&) = delete;
    const std::vector<std::string>& Folders() const { return folders_; }

  private:
    void Release() noexcept {
        for (auto it = locks_.rbegin(); it != locks_.rend(); ++it) os::UnlockFolder(*it);
        locks_.clear();
    }
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
    const os::StopCheck stopped = [&] {
        return tracker ? tracker->StopRequested() : StopSignal() != 0;
    };

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
            std::string old = output->PutInPlace(stopped);
            done.push_back({output, std::move(old)});
            moved();
        }
        // The last moment a stop puts the old files back: one that comes
        // later finds the new files in place, and the run succeeds.
        if (stopped()) throw RunStopped();
        for (const std::string& folder : locks.Folders()) os::SyncFolder(folder);
    } catch (...) {
        restore();
        throw;
    }
    for (Done& d : done) {
        d.output->published_ = true;
        if (!d.old.empty()) os::Discard(d.old, stopped);
    }
    moved();
}

}  // namespace vagliante
