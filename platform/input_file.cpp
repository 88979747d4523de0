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

// ---- FileView ----

FileView::FileView(const InputFile& file, std::int64_t length, bool map)
    : file_(file), length_(length), mapped_(map && os::MapsFiles()) {}

FileView::~FileView() { Release(); }

void FileView::Release() noexcept {
    os::Unmap(view_, viewSize_);
    view_ = nullptr;
    viewSize_ = 0;
}

const std::uint8_t* FileView::Show(std::int64_t offset, std::size_t size) {
    if (offset < 0 || size > static_cast<std::uint64_t>(length_ - offset))
        throw RunError(ErrorNumber::InvalidArgument, file_.Path());
    Release();
    static const std::uint8_t kNothing = 0;
    if (size == 0) return &kNothing;
    if (mapped_) {
        // A view starts at a multiple of the system's alignment.
        const std::size_t lead =
            static_cast<std::size_t>(offset % static_cast<std::int64_t>(os::MapAlignment()));
        viewSize_ = lead + std::max<std::size_t>(size, 1);
        view_ = os::MapRead(file_.Native(), offset - static_cast<std::int64_t>(lead), viewSize_,
                            file_.Path());
        if (view_ != nullptr) return view_ + lead;
        mapped_ = false;  // not to be mapped: read from here on
        viewSize_ = 0;
    }
    if (bufferSize_ < size || !buffer_) {
        buffer_.reset(new std::uint8_t[std::max<std::size_t>(size, 1)]);
        bufferSize_ = size;
    }
    if (os::ReadAt(file_.Native(), offset, buffer_.get(), size, file_.Path()) < size)
        throw RunError(ErrorNumber::PastEndOfFile, file_.Path());
    return buffer_.get();
}

void FileView::CheckLength() const {
    if (os::Length(file_.Native(), file_.Path()) < length_)
        throw RunError(ErrorNumber::PastEndOfFile, file_.Path());
}

void FileView::Faulted() const {
    // Cut shorter by another program, or a page the disk could not give.
    CheckLength();
    throw RunError(ErrorNumber::DeviceIo, file_.Path());
}

}  // namespace vagliante
