#include "platform/input_file.h"

#include <algorithm>

#include "platform/run_error.h"

namespace vagliante {

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

}  // namespace vagliante
