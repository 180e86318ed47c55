#pragma once
// The file system through the Win32 wide-character API.
#include "platform/FileSystem.h"

namespace platform::win32 {

class Win32FileSystem : public FileSystem {
  public:
    std::unique_ptr<FileSearch> Find(std::string_view pattern) override;
    std::uint32_t GetAttributes(std::string_view path) override;
    Status SetAttributes(std::string_view path, std::uint32_t attributes) override;
    Status CreateDirectory(std::string_view path) override;
    Status RemoveDirectory(std::string_view path) override;
    Status DeleteFile(std::string_view path) override;
    Status CopyFile(std::string_view from, std::string_view to, bool failIfExists) override;
    Status MoveFile(std::string_view from, std::string_view to, bool replaceExisting) override;
    Status DeleteAtRestart(std::string_view path) override;
    Status ReadFile(std::string_view path, std::string* contents) override;
    Status WriteFile(std::string_view path, std::string_view contents) override;
    Status AppendFile(std::string_view path, std::string_view contents) override;
    Status GetFileSize(std::string_view path, std::uint64_t* size) override;
    std::unique_ptr<FileReader> OpenRead(std::string_view path, Status* error) override;
    std::unique_ptr<FileWriter> OpenWrite(std::string_view path, bool append,
                                          Status* error) override;
    std::vector<Drive> LogicalDrives() override;
    std::string TempFolder() override;
    bool ReadVersionStrings(std::string_view path, std::array<std::string, 12>* strings) override;
};

}  // namespace platform::win32
