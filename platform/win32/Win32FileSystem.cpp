#include "platform/win32/Win32FileSystem.h"

#include "platform/win32/Windows.h"

#include <algorithm>
#include <cwchar>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

namespace platform::win32 {

namespace {

// ReadFile and WriteFile take a DWORD count: larger requests go in pieces.
constexpr std::size_t kLargestTransfer = 1u << 30;

Status LastError() {
    return static_cast<Status>(::GetLastError());
}

Status Result(BOOL ok) {
    return ok ? kSuccess : LastError();
}

std::uint64_t Combine(DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

FindData ToFindData(const WIN32_FIND_DATAW& data) {
    FindData out;
    out.name = Narrow(data.cFileName);
    out.attributes = data.dwFileAttributes;
    out.size = Combine(data.nFileSizeHigh, data.nFileSizeLow);
    out.lastWriteTime =
        Combine(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime);
    return out;
}

class Win32FileSearch : public FileSearch {
  public:
    explicit Win32FileSearch(std::string_view pattern) {
        handle_.Reset(::FindFirstFileW(Widen(pattern).c_str(), &first_));
        if (handle_) {
            haveFirst_ = true;
        } else {
            error_ = LastError();
        }
    }

    bool Next(FindData& out) override {
        if (haveFirst_) {
            haveFirst_ = false;
            out = ToFindData(first_);
            return true;
        }
        if (!handle_)
            return false;
        WIN32_FIND_DATAW data;
        if (!::FindNextFileW(handle_.Get(), &data)) {
            error_ = LastError();
            handle_.Reset();
            return false;
        }
        out = ToFindData(data);
        return true;
    }
    Status Error() const override { return error_; }

  private:
    UniqueFind handle_;
    WIN32_FIND_DATAW first_{};
    bool haveFirst_ = false;
    Status error_ = kSuccess;
};

// Reads up to `size` bytes, going on after short reads until the end.
Status ReadFully(HANDLE file, void* buffer, std::size_t size, std::size_t* got) {
    auto* out = static_cast<char*>(buffer);
    *got = 0;
    while (*got < size) {
        const auto chunk = static_cast<DWORD>(std::min(size - *got, kLargestTransfer));
        DWORD read = 0;
        if (!::ReadFile(file, out + *got, chunk, &read, nullptr))
            return LastError();
        if (read == 0)
            break;
        *got += read;
    }
    return kSuccess;
}

class Win32FileReader : public FileReader {
  public:
    explicit Win32FileReader(UniqueFile file) : file_(std::move(file)) {}

    std::size_t Read(void* buffer, std::size_t size) override {
        std::size_t got = 0;
        error_ = ReadFully(file_.Get(), buffer, size, &got);
        return error_ == kSuccess ? got : 0;
    }
    Status Seek(std::uint64_t offset) override {
        LARGE_INTEGER position;
        position.QuadPart = static_cast<LONGLONG>(offset);
        if (offset > static_cast<std::uint64_t>(MAXLONGLONG))
            return error_ = kErrorInvalidParameter;
        return error_ = Result(::SetFilePointerEx(file_.Get(), position, nullptr, FILE_BEGIN));
    }
    std::uint64_t Size() const override {
        LARGE_INTEGER size;
        if (!::GetFileSizeEx(file_.Get(), &size))
            return 0;
        return static_cast<std::uint64_t>(size.QuadPart);
    }
    Status Error() const override { return error_; }

  private:
    UniqueFile file_;
    Status error_ = kSuccess;
};

class Win32FileWriter : public FileWriter {
  public:
    explicit Win32FileWriter(UniqueFile file) : file_(std::move(file)) {}

    Status Write(const void* data, std::size_t size) override {
        if (!file_)
            return kErrorInvalidHandle;
        if (error_ != kSuccess)
            return error_;
        const auto* in = static_cast<const char*>(data);
        while (size > 0) {
            const auto chunk = static_cast<DWORD>(std::min(size, kLargestTransfer));
            DWORD written = 0;
            if (!::WriteFile(file_.Get(), in, chunk, &written, nullptr)) {
                return error_ = LastError();
            }
            in += written;
            size -= written;
        }
        return kSuccess;
    }
    Status Close() override {
        if (!file_)
            return error_ == kSuccess ? kErrorInvalidHandle : error_;
        const Status closed = Result(::CloseHandle(file_.Release()));
        if (error_ == kSuccess)
            error_ = closed;
        return error_;
    }

  private:
    UniqueFile file_;
    Status error_ = kSuccess;
};

// Writers share reading so a log can be looked at while it grows; readers
// share everything so a scan does not stop another program writing.
constexpr DWORD kWriterShare = FILE_SHARE_READ;
constexpr DWORD kReaderShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The version resource's string names, in the order FileSystem lists them.
constexpr const wchar_t* kVersionStringNames[12] = {
    L"CompanyName",    L"FileDescription",  L"FileVersion",  L"InternalName",
    L"LegalCopyright", L"OriginalFileName", L"ProductName",  L"ProductVersion",
    L"Comments",       L"LegalTrademarks",  L"PrivateBuild", L"SpecialBuild",
};

// The string table of a language and code page: "\StringFileInfo\LLLLCCCC\".
std::wstring StringTableQuery(WORD language, WORD codePage) {
    constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring query = L"\\StringFileInfo\\";
    for (WORD word : {language, codePage}) {
        for (int shift = 12; shift >= 0; shift -= 4)
            query += kDigits[(word >> shift) & 0xF];
    }
    query += L'\\';
    return query;
}

Status WriteWhole(FileSystem& files, std::string_view path, std::string_view contents,
                  bool append) {
    Status status = kSuccess;
    std::unique_ptr<FileWriter> writer = files.OpenWrite(path, append, &status);
    if (!writer)
        return status;
    status = writer->Write(contents.data(), contents.size());
    const Status closed = writer->Close();
    return status != kSuccess ? status : closed;
}

}  // namespace

std::unique_ptr<FileSearch> Win32FileSystem::Find(std::string_view pattern) {
    return std::make_unique<Win32FileSearch>(pattern);
}

std::uint32_t Win32FileSystem::GetAttributes(std::string_view path) {
    return ::GetFileAttributesW(Widen(path).c_str());
}

Status Win32FileSystem::SetAttributes(std::string_view path, std::uint32_t attributes) {
    return Result(::SetFileAttributesW(Widen(path).c_str(), attributes));
}

Status Win32FileSystem::CreateDirectory(std::string_view path) {
    return Result(::CreateDirectoryW(Widen(path).c_str(), nullptr));
}

Status Win32FileSystem::RemoveDirectory(std::string_view path) {
    return Result(::RemoveDirectoryW(Widen(path).c_str()));
}

Status Win32FileSystem::DeleteFile(std::string_view path) {
    return Result(::DeleteFileW(Widen(path).c_str()));
}

Status Win32FileSystem::CopyFile(std::string_view from, std::string_view to, bool failIfExists) {
    return Result(::CopyFileW(Widen(from).c_str(), Widen(to).c_str(), failIfExists ? TRUE : FALSE));
}

Status Win32FileSystem::MoveFile(std::string_view from, std::string_view to, bool replaceExisting) {
    const DWORD flags = replaceExisting ? MOVEFILE_REPLACE_EXISTING : 0;
    return Result(::MoveFileExW(Widen(from).c_str(), Widen(to).c_str(), flags));
}

Status Win32FileSystem::DeleteAtRestart(std::string_view path) {
    return Result(::MoveFileExW(Widen(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
}

Status Win32FileSystem::ReadFile(std::string_view path, std::string* contents) {
    if (contents == nullptr)
        return kErrorInvalidParameter;
    UniqueFile file(::CreateFileW(Widen(path).c_str(), GENERIC_READ, kReaderShare, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return LastError();
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.Get(), &size))
        return LastError();
    // Never more than the file holds, so a huge or growing file cannot make
    // this allocate without bound.
    const auto bytes = static_cast<std::uint64_t>(size.QuadPart);
    if (bytes > contents->max_size())
        return kErrorNotEnoughMemory;
    try {
        contents->assign(static_cast<std::size_t>(bytes), '\0');
    } catch (const std::bad_alloc&) {
        return kErrorNotEnoughMemory;
    } catch (const std::length_error&) {
        return kErrorNotEnoughMemory;
    }
    std::size_t got = 0;
    if (Status status = ReadFully(file.Get(), contents->data(), contents->size(), &got);
        status != kSuccess) {
        contents->clear();
        return status;
    }
    contents->resize(got);
    return kSuccess;
}

Status Win32FileSystem::WriteFile(std::string_view path, std::string_view contents) {
    return WriteWhole(*this, path, contents, false);
}

Status Win32FileSystem::AppendFile(std::string_view path, std::string_view contents) {
    return WriteWhole(*this, path, contents, true);
}

Status Win32FileSystem::GetFileSize(std::string_view path, std::uint64_t* size) {
    if (size == nullptr)
        return kErrorInvalidParameter;
    // From the directory entry, so a file another program holds open
    // without sharing still has a size.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data)) {
        return LastError();
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return kErrorAccessDenied;
    *size = Combine(data.nFileSizeHigh, data.nFileSizeLow);
    return kSuccess;
}

std::unique_ptr<FileReader> Win32FileSystem::OpenRead(std::string_view path, Status* error) {
    UniqueFile file(::CreateFileW(Widen(path).c_str(), GENERIC_READ, kReaderShare, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    const Status status = file ? kSuccess : LastError();
    if (error != nullptr)
        *error = status;
    if (!file)
        return nullptr;
    return std::make_unique<Win32FileReader>(std::move(file));
}

std::unique_ptr<FileWriter> Win32FileSystem::OpenWrite(std::string_view path, bool append,
                                                       Status* error) {
    // OPEN_ALWAYS and then truncating, rather than CREATE_ALWAYS, which fails
    // on an existing hidden or system file unless its attributes are repeated.
    // FILE_APPEND_DATA alone makes every write land at the end.
    const DWORD access = append ? FILE_APPEND_DATA : GENERIC_WRITE;
    UniqueFile file(::CreateFileW(Widen(path).c_str(), access, kWriterShare, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    Status status = file ? kSuccess : LastError();
    if (status == kSuccess && !append)
        status = Result(::SetEndOfFile(file.Get()));
    if (error != nullptr)
        *error = status;
    if (status != kSuccess)
        return nullptr;
    return std::make_unique<Win32FileWriter>(std::move(file));
}

std::vector<Drive> Win32FileSystem::LogicalDrives() {
    std::vector<Drive> drives;
    const DWORD mask = ::GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if ((mask & (1u << i)) == 0)
            continue;
        Drive drive;
        drive.root = std::string(1, static_cast<char>('A' + i)) + ":\\";
        drive.type = static_cast<DriveType>(::GetDriveTypeW(Widen(drive.root).c_str()));
        drives.push_back(std::move(drive));
    }
    return drives;
}

std::string Win32FileSystem::TempFolder() {
    std::wstring buffer(MAX_PATH + 1, L'\0');
    for (;;) {
        const DWORD length = ::GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length == 0)
            return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return Narrow(buffer);
        }
        buffer.resize(length + 1);  // the length asked for counts the terminator
    }
}

bool Win32FileSystem::ReadVersionStrings(std::string_view path,
                                         std::array<std::string, 12>* strings) {
    if (strings == nullptr)
        return false;
    const std::wstring widePath = Widen(path);
    DWORD unused = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(widePath.c_str(), &unused);
    if (size == 0)
        return false;
    std::vector<unsigned char> block(size);
    if (!::GetFileVersionInfoW(widePath.c_str(), 0, size, block.data()))
        return false;

    // The first language the resource lists; US English in Unicode when it
    // lists none.
    WORD language = 0x0409;
    WORD codePage = 0x04B0;
    void* value = nullptr;
    UINT length = 0;
    if (::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length) &&
        value != nullptr && length >= 2 * sizeof(WORD)) {
        const auto* pair = static_cast<const WORD*>(value);
        language = pair[0];
        codePage = pair[1];
    }
    const std::wstring prefix = StringTableQuery(language, codePage);
    for (std::size_t i = 0; i < strings->size(); ++i) {
        std::string& out = (*strings)[i];
        out.clear();
        const std::wstring query = prefix + kVersionStringNames[i];
        value = nullptr;
        length = 0;
        if (::VerQueryValueW(block.data(), query.c_str(), &value, &length) && value != nullptr &&
            length > 0) {
            // The length counts characters and may include the terminator.
            const auto* chars = static_cast<const wchar_t*>(value);
            out = Narrow(std::wstring_view(chars, ::wcsnlen(chars, length)));
        }
    }
    return true;
}

}  // namespace platform::win32
