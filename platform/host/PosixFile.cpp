#include "platform/host/PosixFile.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace platform::host {

Status StatusFromErrno(int error) {
    switch (error) {
        case 0:
            return kSuccess;
        case ENOENT:
            return kErrorFileNotFound;
        case ENOTDIR:
            return kErrorPathNotFound;
        case EEXIST:
            return kErrorAlreadyExists;
        case ENOTEMPTY:
            return kErrorDirNotEmpty;
        case ENOMEM:
            return kErrorNotEnoughMemory;
        case EXDEV:
            return kErrorNotSameDevice;
        case ENOSPC:
        case EDQUOT:
            return kErrorDiskFull;
        case ENAMETOOLONG:
            return kErrorInvalidName;
        case EBUSY:
        case ETXTBSY:
            return kErrorSharingViolation;
        default:
            // EACCES, EPERM, EROFS, ELOOP (a link we refuse to follow), EIO...
            return kErrorAccessDenied;
    }
}

std::uint64_t FileTimeOf(const struct stat& st) {
    constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
    const std::int64_t seconds = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    if (seconds < -kSecondsFrom1601To1970)
        return 0;
    return static_cast<std::uint64_t>(seconds + kSecondsFrom1601To1970) * 10'000'000u +
           static_cast<std::uint64_t>(st.st_mtim.tv_nsec) / 100u;
}

Status ReadFully(int fd, void* buffer, std::size_t size, std::size_t* got) {
    auto* out = static_cast<char*>(buffer);
    *got = 0;
    while (*got < size) {
        const std::size_t chunk = std::min<std::size_t>(size - *got, SSIZE_MAX);
        const ssize_t n = ::read(fd, out + *got, chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return StatusFromErrno(errno);
        }
        if (n == 0)
            break;
        *got += static_cast<std::size_t>(n);
    }
    return kSuccess;
}

Status WriteFully(int fd, const void* data, std::size_t size) {
    const auto* in = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, in, std::min<std::size_t>(size, SSIZE_MAX));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return StatusFromErrno(errno);
        }
        in += n;
        size -= static_cast<std::size_t>(n);
    }
    return kSuccess;
}

Status OpenRegularForReading(const std::string& hostPath, UniqueFd* fd) {
    UniqueFd opened(::open(hostPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!opened)
        return StatusFromErrno(errno);
    struct stat st {};
    if (::fstat(opened.Get(), &st) != 0)
        return StatusFromErrno(errno);
    if (!S_ISREG(st.st_mode))
        return kErrorAccessDenied;
    *fd = std::move(opened);
    return kSuccess;
}

namespace {

class HostFileReader : public FileReader {
  public:
    explicit HostFileReader(UniqueFd fd) : fd_(std::move(fd)) {}

    std::size_t Read(void* buffer, std::size_t size) override {
        std::size_t got = 0;
        error_ = ReadFully(fd_.Get(), buffer, size, &got);
        return error_ == kSuccess ? got : 0;
    }
    Status Seek(std::uint64_t offset) override {
        if (offset > static_cast<std::uint64_t>(LLONG_MAX))
            return error_ = kErrorInvalidParameter;
        if (::lseek(fd_.Get(), static_cast<off_t>(offset), SEEK_SET) < 0) {
            return error_ = StatusFromErrno(errno);
        }
        return error_ = kSuccess;
    }
    std::uint64_t Size() const override {
        struct stat st {};
        if (::fstat(fd_.Get(), &st) != 0)
            return 0;
        return static_cast<std::uint64_t>(st.st_size);
    }
    Status Error() const override { return error_; }

  private:
    UniqueFd fd_;
    Status error_ = kSuccess;
};

class HostFileWriter : public FileWriter {
  public:
    explicit HostFileWriter(UniqueFd fd) : fd_(std::move(fd)) {}

    Status Write(const void* data, std::size_t size) override {
        if (!fd_)
            return kErrorInvalidHandle;
        if (error_ != kSuccess)
            return error_;
        return error_ = WriteFully(fd_.Get(), data, size);
    }
    Status Close() override {
        if (!fd_)
            return error_ == kSuccess ? kErrorInvalidHandle : error_;
        const Status closed = fd_.Close();
        if (error_ == kSuccess)
            error_ = closed;
        return error_;
    }

  private:
    UniqueFd fd_;
    Status error_ = kSuccess;
};

}  // namespace

std::unique_ptr<FileReader> MakeFileReader(UniqueFd fd) {
    return std::make_unique<HostFileReader>(std::move(fd));
}

std::unique_ptr<FileWriter> MakeFileWriter(UniqueFd fd) {
    return std::make_unique<HostFileWriter>(std::move(fd));
}

}  // namespace platform::host
