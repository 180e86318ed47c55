// Extracting into folders and adding files, over an in-memory file system
// that behaves like Windows for the calls the module makes.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "platform/Text.h"
#include "zip/ZipFiles.h"
#include "zip/tests/ZipTestSupport.h"

namespace {

using platform::Status;

class MemoryFileSystem final : public platform::FileSystem {
  public:
    std::map<std::string, std::string, text::LessNoCase> files;
    std::set<std::string, text::LessNoCase> folders{"C:"};
    std::size_t maxFileSize = SIZE_MAX;  // writes past this fail like a full disk

    std::unique_ptr<platform::FileSearch> Find(std::string_view) override { return nullptr; }
    std::uint32_t GetAttributes(std::string_view path) override {
        if (folders.count(std::string(path)) != 0)
            return platform::kAttrDirectory;
        if (files.count(std::string(path)) != 0)
            return platform::kAttrArchive;
        return platform::kInvalidAttributes;
    }
    Status SetAttributes(std::string_view, std::uint32_t) override {
        return platform::kErrorNotSupported;
    }
    Status CreateDirectory(std::string_view path) override {
        if (Exists(path))
            return platform::kErrorAlreadyExists;
        if (!IsDirectory(text::ParentPath(path)))
            return platform::kErrorPathNotFound;
        folders.emplace(path);
        return platform::kSuccess;
    }
    Status RemoveDirectory(std::string_view) override { return platform::kErrorNotSupported; }
    Status DeleteFile(std::string_view path) override {
        return files.erase(std::string(path)) != 0 ? platform::kSuccess
                                                   : platform::kErrorFileNotFound;
    }
    Status CopyFile(std::string_view, std::string_view, bool) override {
        return platform::kErrorNotSupported;
    }
    Status MoveFile(std::string_view, std::string_view, bool) override {
        return platform::kErrorNotSupported;
    }
    Status DeleteAtRestart(std::string_view) override { return platform::kErrorNotSupported; }
    Status ReadFile(std::string_view, std::string*) override {
        return platform::kErrorNotSupported;
    }
    Status WriteFile(std::string_view, std::string_view) override {
        return platform::kErrorNotSupported;
    }
    Status AppendFile(std::string_view, std::string_view) override {
        return platform::kErrorNotSupported;
    }
    Status GetFileSize(std::string_view, std::uint64_t*) override {
        return platform::kErrorNotSupported;
    }

    std::unique_ptr<platform::FileReader> OpenRead(std::string_view path, Status* error) override {
        auto it = files.find(std::string(path));
        if (it == files.end()) {
            *error = platform::kErrorFileNotFound;
            return nullptr;
        }
        class Reader final : public platform::FileReader {
          public:
            explicit Reader(const std::string& data) : data_(data) {}
            std::size_t Read(void* buffer, std::size_t size) override {
                // Short reads on purpose: callers must loop.
                std::size_t count = std::min({size, data_.size() - position_, std::size_t{1000}});
                std::copy_n(data_.data() + position_, count, static_cast<char*>(buffer));
                position_ += count;
                return count;
            }
            Status Seek(std::uint64_t offset) override {
                position_ = static_cast<std::size_t>(std::min<std::uint64_t>(offset, data_.size()));
                return platform::kSuccess;
            }
            std::uint64_t Size() const override { return data_.size(); }
            Status Error() const override { return platform::kSuccess; }

          private:
            const std::string& data_;
            std::size_t position_ = 0;
        };
        return std::make_unique<Reader>(it->second);
    }

    std::unique_ptr<platform::FileWriter> OpenWrite(std::string_view path, bool append,
                                                    Status* error) override {
        if (!IsDirectory(text::ParentPath(path)) || IsDirectory(path)) {
            *error = platform::kErrorPathNotFound;
            return nullptr;
        }
        std::string& data = files[std::string(path)];
        if (!append)
            data.clear();
        class Writer final : public platform::FileWriter {
          public:
            Writer(std::string& data, std::size_t limit) : data_(data), limit_(limit) {}
            Status Write(const void* bytes, std::size_t size) override {
                if (data_.size() + size > limit_)
                    return platform::kErrorAccessDenied;
                data_.append(static_cast<const char*>(bytes), size);
                return platform::kSuccess;
            }
            Status Close() override { return platform::kSuccess; }

          private:
            std::string& data_;
            std::size_t limit_;
        };
        return std::make_unique<Writer>(data, maxFileSize);
    }

    std::vector<platform::Drive> LogicalDrives() override { return {}; }
    std::string TempFolder() override { return "C:\\Temp\\"; }
};

// An archive with a member name the writer would refuse, made by renaming
// a safe one of the same length in place.
std::string ArchiveWithName(std::string_view stored, std::string_view wanted) {
    std::string archive =
        ziptest::WriteArchive({{"ok.txt", "fine"}, {std::string(stored), "payload"}});
    const ziptest::Layout layout = ziptest::LayoutOf(archive);
    archive.replace(layout.local[1] + 30, wanted.size(), wanted);
    archive.replace(layout.central[1] + 46, wanted.size(), wanted);
    return archive;
}

TEST(ZipFiles, ExtractsTheTreeBelowTheFolder) {
    std::string archive;
    zip::StringSink sink(archive);
    zip::Writer writer(sink);
    ASSERT_TRUE(writer.AddDirectory("empty").Ok());
    ASSERT_TRUE(writer.AddFromMemory("Config.ini", "TYPE:[FILE]\r\n").Ok());
    ASSERT_TRUE(writer.AddFromMemory("sub/dir/deep.bin", ziptest::NoiseBytes(100000, 1)).Ok());
    ASSERT_TRUE(writer.AddFromMemory("sub/other.txt", "other").Ok());
    ASSERT_TRUE(writer.Finish().Ok());

    MemoryFileSystem fs;
    fs.folders.insert("C:\\Scratch");
    fs.files["C:\\Scratch\\config.INI"] = "old contents";
    zip::MemorySource source(archive);
    zip::Reader reader;
    ASSERT_TRUE(reader.Open(source).Ok());
    std::vector<std::string> written;
    zip::Error error = zip::ExtractAllToFolder(reader, fs, "C:\\Scratch\\", &written);
    ASSERT_TRUE(error.Ok()) << error.message;
    EXPECT_EQ(written, (std::vector<std::string>{"C:\\Scratch\\Config.ini",
                                                 "C:\\Scratch\\sub\\dir\\deep.bin",
                                                 "C:\\Scratch\\sub\\other.txt"}));
    EXPECT_TRUE(fs.IsDirectory("C:\\Scratch\\empty"));
    EXPECT_TRUE(fs.IsDirectory("C:\\Scratch\\sub\\dir"));
    EXPECT_EQ(fs.files.at("C:\\Scratch\\Config.ini"), "TYPE:[FILE]\r\n");  // replaced
    EXPECT_EQ(fs.files.at("C:\\Scratch\\sub\\dir\\deep.bin"), ziptest::NoiseBytes(100000, 1));
    EXPECT_EQ(fs.files.size(), 3u);
}

TEST(ZipFiles, UnsafeNamesAreNeverWritten) {
    for (std::string_view wanted :
         {"../evil.txt", "C:\\evil.txt", "\\\\evil.txt", "a/../../e.txt"}) {
        const std::string archive = ArchiveWithName(std::string(wanted.size(), 'x'), wanted);
        MemoryFileSystem fs;
        fs.folders.insert("C:\\Scratch");
        zip::MemorySource source(archive);
        zip::Reader reader;
        ASSERT_TRUE(reader.Open(source).Ok());
        ASSERT_EQ(reader.At(1).name, wanted);
        EXPECT_EQ(zip::ExtractAllToFolder(reader, fs, "C:\\Scratch").code,
                  zip::ErrorCode::kUnsafeName)
            << wanted;
        EXPECT_EQ(zip::ExtractMemberToFolder(reader, 1, fs, "C:\\Scratch").code,
                  zip::ErrorCode::kUnsafeName);
        // Only the safe member landed, inside the folder.
        ASSERT_EQ(fs.files.size(), 1u);
        EXPECT_EQ(fs.files.begin()->first, "C:\\Scratch\\ok.txt");
        EXPECT_EQ(fs.folders.size(), 2u);
    }
}

TEST(ZipFiles, FailedExtractionLeavesNoFile) {
    std::string archive = ziptest::WriteArchive({{"a.txt", ziptest::MixedBytes(200000, 2)}});
    const ziptest::Layout layout = ziptest::LayoutOf(archive);
    ziptest::Write32(archive, layout.central[0] + 16,
                     ziptest::Read32(archive, layout.central[0] + 16) + 1);
    zip::MemorySource source(archive);
    zip::Reader reader;
    ASSERT_TRUE(reader.Open(source).Ok());
    MemoryFileSystem fs;
    EXPECT_EQ(zip::ExtractMemberToFolder(reader, 0, fs, "C:\\").code, zip::ErrorCode::kCrcMismatch);
    EXPECT_TRUE(fs.files.empty());

    const std::string good = ziptest::WriteArchive({{"a.txt", ziptest::MixedBytes(200000, 2)}});
    zip::MemorySource goodSource(good);
    ASSERT_TRUE(reader.Open(goodSource).Ok());
    fs.maxFileSize = 100000;
    zip::Error error = zip::ExtractMemberToFolder(reader, 0, fs, "C:\\");
    EXPECT_EQ(error.code, zip::ErrorCode::kWriteFailed);
    EXPECT_NE(error.message.find("system error 5"), std::string::npos) << error.message;
    EXPECT_TRUE(fs.files.empty());
}

TEST(ZipFiles, AddsFilesFromTheDisk) {
    MemoryFileSystem fs;
    fs.files["C:\\Data\\report.txt"] = ziptest::MixedBytes(123456, 3);
    std::string archive;
    zip::StringSink sink(archive);
    zip::Writer writer(sink);
    zip::MemberOptions options;
    options.password = "tindrake_7_vlts";
    ASSERT_TRUE(
        zip::AddFileToArchive(writer, fs, "C:\\Data\\report.txt", "report.txt", options).Ok());
    EXPECT_EQ(zip::AddFileToArchive(writer, fs, "C:\\Data\\missing.txt", "missing.txt").code,
              zip::ErrorCode::kReadFailed);
    ASSERT_TRUE(writer.Finish().Ok());
    ziptest::Extracted all = ziptest::ExtractAll(archive, "tindrake_7_vlts");
    ASSERT_TRUE(all.error.Ok()) << all.error.message;
    ASSERT_EQ(all.members.size(), 1u);
    EXPECT_EQ(all.members[0].data, fs.files.at("C:\\Data\\report.txt"));
}

}  // namespace
