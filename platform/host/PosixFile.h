#pragma once
// POSIX pieces under HostFileSystem: owned descriptors, errno as Win32 error
// codes, and the chunked reader and writer over a descriptor.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "platform/FileSystem.h"

namespace platform::host {

// The Win32 error Windows gives where POSIX says `error`.
Status StatusFromErrno(int error);
// The last write time as FILETIME ticks (100 ns since 1601).
std::uint64_t FileTimeOf(const struct stat& st);

class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other)
            Reset(std::exchange(other.fd_, -1));
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    int Get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Closes and reports what close() said: some file systems report write
    // errors only there.
    Status Close() {
        if (fd_ < 0)
            return kSuccess;
        const int result = ::close(std::exchange(fd_, -1));
        return result == 0 ? kSuccess : StatusFromErrno(errno);
    }
    void Reset(int fd = -1) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

  private:
    int fd_ = -1;
};

class UniqueDir {
  public:
    explicit UniqueDir(DIR* dir) : dir_(dir) {}
    UniqueDir(const UniqueDir&) = delete;
    UniqueDir& operator=(const UniqueDir&) = delete;
    ~UniqueDir() {
        if (dir_ != nullptr)
            ::closedir(dir_);
    }
    DIR* Get() const { return dir_; }

  private:
    DIR* dir_;
};

// Reads up to `size` bytes, retrying short reads until the end of the file.
Status ReadFully(int fd, void* buffer, std::size_t size, std::size_t* got);
Status WriteFully(int fd, const void* data, std::size_t size);
// Opens a regular file for reading without following a link or blocking on a
// FIFO; anything else is refused like a folder is (kErrorAccessDenied).
Status OpenRegularForReading(const std::string& hostPath, UniqueFd* fd);

std::unique_ptr<FileReader> MakeFileReader(UniqueFd fd);
std::unique_ptr<FileWriter> MakeFileWriter(UniqueFd fd);

}  // namespace platform::host
