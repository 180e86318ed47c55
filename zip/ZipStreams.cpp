#include "zip/ZipStreams.h"

#include <algorithm>
#include <cstring>

namespace zip {

std::size_t MemorySource::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) {
    if (offset >= bytes_.size())
        return 0;
    std::size_t count = std::min<std::uint64_t>(size, bytes_.size() - offset);
    if (count > 0)
        std::memcpy(buffer, bytes_.data() + offset, count);
    return count;
}

std::size_t FileReaderSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) {
    if (offset >= size_ || size == 0)
        return 0;
    if (platform::Status status = reader_.Seek(offset); status != platform::kSuccess) {
        lastError_ = status;
        return 0;
    }
    // FileReader may return short counts before the end; keep asking.
    auto* out = static_cast<char*>(buffer);
    std::size_t total = 0;
    while (total < size) {
        std::size_t got = reader_.Read(out + total, size - total);
        if (got == 0) {
            if (reader_.Error() != platform::kSuccess)
                lastError_ = reader_.Error();
            break;
        }
        total += got;
    }
    return total;
}

bool StringSink::Write(const void* data, std::size_t size) {
    if (size > limit_ || out_.size() > limit_ - size)
        return false;
    out_.append(static_cast<const char*>(data), size);
    return true;
}

bool FileWriterSink::Write(const void* data, std::size_t size) {
    platform::Status status = writer_.Write(data, size);
    if (status != platform::kSuccess) {
        lastError_ = status;
        return false;
    }
    return true;
}

}  // namespace zip
