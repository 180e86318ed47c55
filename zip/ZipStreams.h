#pragma once
// Where archive bytes come from and where extracted or written bytes go.
// Small interfaces so the reader and writer work the same over memory (tests,
// fuzzing, downloaded data) and over files of the platform layer.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/FileSystem.h"

namespace zip {

// Random-access bytes of known size.
class Source {
  public:
    virtual ~Source() = default;
    virtual std::uint64_t Size() const = 0;
    // Copies up to `size` bytes starting at `offset`; returns how many were
    // copied. Fewer than asked means the end was reached or reading failed.
    virtual std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) = 0;
};

// A byte sequence written front to back.
class Sink {
  public:
    virtual ~Sink() = default;
    // False stops the operation that is writing (kWriteFailed).
    virtual bool Write(const void* data, std::size_t size) = 0;
};

// Bytes held by the caller; they must outlive the source.
class MemorySource final : public Source {
  public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override;

  private:
    std::string_view bytes_;
};

// An open platform file. The reader must outlive the source; the source moves
// the file position at will.
class FileReaderSource final : public Source {
  public:
    explicit FileReaderSource(platform::FileReader& reader)
        : reader_(reader), size_(reader.Size()) {}
    std::uint64_t Size() const override { return size_; }
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override;
    // The platform error of the last failed read, kSuccess if none failed.
    platform::Status LastError() const { return lastError_; }

  private:
    platform::FileReader& reader_;
    std::uint64_t size_;
    platform::Status lastError_ = platform::kSuccess;
};

// Appends to a string; refuses to grow it past `limit` bytes.
class StringSink final : public Sink {
  public:
    explicit StringSink(std::string& out, std::size_t limit = std::string::npos)
        : out_(out), limit_(limit) {}
    bool Write(const void* data, std::size_t size) override;

  private:
    std::string& out_;
    std::size_t limit_;
};

// An open platform file; closing it stays the caller's job.
class FileWriterSink final : public Sink {
  public:
    explicit FileWriterSink(platform::FileWriter& writer) : writer_(writer) {}
    bool Write(const void* data, std::size_t size) override;
    platform::Status LastError() const { return lastError_; }

  private:
    platform::FileWriter& writer_;
    platform::Status lastError_ = platform::kSuccess;
};

// Hands each chunk to a function (hashing a member, for example); the
// function returns false to stop.
class CallbackSink final : public Sink {
  public:
    using Callback = std::function<bool(const char* data, std::size_t size)>;
    explicit CallbackSink(Callback callback) : callback_(std::move(callback)) {}
    bool Write(const void* data, std::size_t size) override {
        return callback_(static_cast<const char*>(data), size);
    }

  private:
    Callback callback_;
};

}  // namespace zip
