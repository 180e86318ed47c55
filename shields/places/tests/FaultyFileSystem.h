#pragma once
// A file system that passes everything to another one but can be told to
// fail a write half way, a close, a move or a deletion, the way a full disk
// or a locked file would.
#include <string>

#include "platform/FileSystem.h"

namespace shields::testing {

class FaultyFileSystem : public platform::FileSystem {
  public:
    explicit FaultyFileSystem(platform::FileSystem& real) : real_(real) {}

    // The next writer stores this many bytes, then fails with a full disk.
    std::size_t failWriteAfter = static_cast<std::size_t>(-1);
    bool failClose = false;
    platform::Status failMove = platform::kSuccess;
    platform::Status failDelete = platform::kSuccess;
    int writersOpened = 0;

    std::unique_ptr<platform::FileSearch> Find(std::string_view pattern) override {
        return real_.Find(pattern);
    }
    std::uint32_t GetAttributes(std::string_view path) override {
        return real_.GetAttributes(path);
    }
    platform::Status SetAttributes(std::string_view path, std::uint32_t attributes) override {
        return real_.SetAttributes(path, attributes);
    }
    platform::Status CreateDirectory(std::string_view path) override {
        return real_.CreateDirectory(path);
    }
    platform::Status RemoveDirectory(std::string_view path) override {
        return real_.RemoveDirectory(path);
    }
    platform::Status DeleteFile(std::string_view path) override {
        if (failDelete != platform::kSuccess)
            return failDelete;
        return real_.DeleteFile(path);
    }
    platform::Status CopyFile(std::string_view from, std::string_view to,
                              bool failIfExists) override {
        return real_.CopyFile(from, to, failIfExists);
    }
    platform::Status MoveFile(std::string_view from, std::string_view to,
                              bool replaceExisting) override {
        if (failMove != platform::kSuccess)
            return failMove;
        return real_.MoveFile(from, to, replaceExisting);
    }
    platform::Status DeleteAtRestart(std::string_view path) override {
        return real_.DeleteAtRestart(path);
    }
    platform::Status ReadFile(std::string_view path, std::string* contents) override {
        return real_.ReadFile(path, contents);
    }
    platform::Status WriteFile(std::string_view path, std::string_view contents) override {
        return real_.WriteFile(path, contents);
    }
    platform::Status AppendFile(std::string_view path, std::string_view contents) override {
        return real_.AppendFile(path, contents);
    }
    platform::Status GetFileSize(std::string_view path, std::uint64_t* size) override {
        return real_.GetFileSize(path, size);
    }
    std::unique_ptr<platform::FileReader> OpenRead(std::string_view path,
                                                   platform::Status* error) override {
        return real_.OpenRead(path, error);
    }
    std::unique_ptr<platform::FileWriter> OpenWrite(std::string_view path, bool append,
                                                    platform::Status* error) override {
        std::unique_ptr<platform::FileWriter> writer = real_.OpenWrite(path, append, error);
        if (!writer)
            return writer;
        ++writersOpened;
        return std::make_unique<Writer>(std::move(writer), failWriteAfter, failClose);
    }
    std::vector<platform::Drive> LogicalDrives() override { return real_.LogicalDrives(); }
    std::string TempFolder() override { return real_.TempFolder(); }

  private:
    class Writer : public platform::FileWriter {
      public:
        Writer(std::unique_ptr<platform::FileWriter> real, std::size_t budget, bool failClose)
            : real_(std::move(real)), budget_(budget), failClose_(failClose) {}
        platform::Status Write(const void* data, std::size_t size) override {
            if (size > budget_) {
                // What fits reaches the disk, as with a disk that fills up.
                real_->Write(data, budget_);
                budget_ = 0;
                return platform::kErrorDiskFull;
            }
            budget_ -= size;
            return real_->Write(data, size);
        }
        platform::Status Close() override {
            const platform::Status status = real_->Close();
            return failClose_ ? platform::kErrorDiskFull : status;
        }

      private:
        std::unique_ptr<platform::FileWriter> real_;
        std::size_t budget_;
        bool failClose_;
    };

    platform::FileSystem& real_;
};

}  // namespace shields::testing
