// Interoperability with the real tools: archives the module writes must test
// and extract with Info-ZIP unzip and 7-Zip; archives those tools write must
// open and extract with the module, and stay valid after a member is removed.
// Runs the tools through the shell, so it is built natively only.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <set>

#include "zip/ZipNames.h"
#include "zip/ZipReader.h"
#include "zip/ZipWriter.h"
#include "zip/tests/ZipTestSupport.h"

namespace {

namespace fs = std::filesystem;
using ziptest::NamedData;

// Runs a shell command with stdout and stderr captured; returns the exit code.
int RunTool(const std::string& command, std::string* output = nullptr) {
    // Tools print names in the locale's encoding; UTF-8 everywhere.
    FILE* pipe = popen(("LC_ALL=C.UTF-8 " + command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return -1;
    std::string text;
    std::array<char, 4096> buffer;
    std::size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        text.append(buffer.data(), got);
    }
    int status = pclose(pipe);
    if (output != nullptr)
        *output = std::move(text);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Quotes a path for the shell.
std::string Quote(const std::filesystem::path& path) {
    std::string out = "'";
    for (char c : path.string()) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

// True when a program of that name is on the PATH.
bool HasTool(const char* name) {
    return RunTool(std::string("command -v ") + name) == 0;
}

constexpr const char* kPassword = "tindrake_7_vlts";

std::vector<NamedData> SampleFiles() {
    return {
        {"readme.txt", ziptest::MixedBytes(20000, 21)},
        {"empty.txt", ""},
        {"noise.bin", ziptest::NoiseBytes(100000, 22)},
        {"sub/deep/data.txt", ziptest::MixedBytes(300000, 23)},
        {"Gr\xC3\xBC\xC3\x9F"
         "e \xE6\x97\xA5\xE6\x9C\xAC.txt",
         "non-ASCII name"},
        {"big.bin", ziptest::MixedBytes(3u << 20, 24)},
    };
}

class ZipInterop : public testing::Test {
  protected:
    void Require(std::initializer_list<const char*> tools) {
        for (const char* tool : tools) {
            if (!HasTool(tool))
                GTEST_SKIP() << tool << " is not installed";
        }
    }

    fs::path WriteTree(const std::string& name, const std::vector<NamedData>& files) {
        fs::path root = temp_.Path() / name;
        fs::create_directories(root / "emptydir");
        for (const NamedData& file : files)
            ziptest::WriteFile(root / file.name, file.data);
        return root;
    }

    // Every file of `files` exists below `root` with the same bytes.
    static void ExpectTree(const fs::path& root, const std::vector<NamedData>& files) {
        for (const NamedData& file : files) {
            ASSERT_TRUE(fs::is_regular_file(root / file.name)) << (root / file.name);
            EXPECT_TRUE(ziptest::ReadFile(root / file.name) == file.data) << file.name;
        }
    }

    // Opens an archive file with the module and checks every sample file in
    // it, by its UTF-8 name; returns the member names.
    static std::set<std::string> ExpectModuleReads(const fs::path& archivePath,
                                                   const std::vector<NamedData>& files,
                                                   std::string_view password) {
        const std::string archive = ziptest::ReadFile(archivePath);
        zip::MemorySource source(archive);
        zip::Reader reader;
        zip::Error error = reader.Open(source, password);
        EXPECT_TRUE(error.Ok()) << archivePath << ": " << error.message;
        std::set<std::string> names;
        for (const zip::Member& member : reader.Members())
            names.insert(member.utf8Name);
        for (const NamedData& file : files) {
            std::optional<std::size_t> index = reader.Find(file.name);
            if (!index) {
                ADD_FAILURE() << archivePath << ": no member " << file.name;
                continue;
            }
            EXPECT_EQ(reader.At(*index).size, file.data.size());
            EXPECT_EQ(reader.At(*index).IsEncrypted(), !password.empty()) << file.name;
            std::string data;
            error = reader.ExtractToMemory(*index, &data, file.data.size());
            EXPECT_TRUE(error.Ok()) << archivePath << " " << file.name << ": " << error.message;
            EXPECT_TRUE(data == file.data) << file.name;
        }
        return names;
    }

    ziptest::TempDir temp_;
};

struct WriteVariant {
    const char* label;
    bool streamed;
    const char* password;
};

constexpr WriteVariant kWriteVariants[] = {
    {"memory", false, ""},
    {"memory-encrypted", false, kPassword},
    {"streamed", true, ""},
    {"streamed-encrypted", true, kPassword},
};

fs::path WriteModuleArchive(const fs::path& folder, const WriteVariant& variant,
                            const std::vector<NamedData>& files) {
    std::string archive;
    zip::StringSink sink(archive);
    zip::Writer writer(sink);
    zip::MemberOptions options;
    options.password = variant.password;
    options.modified = {2007, 7, 4, 9, 5, 30};
    EXPECT_TRUE(writer.AddDirectory("emptydir", options.modified).Ok());
    for (const NamedData& file : files) {
        zip::Error error;
        // Alternate methods so both are checked under every variant.
        options.method = (&file - files.data()) % 2 == 0 ? zip::kMethodDeflate : zip::kMethodStored;
        if (variant.streamed) {
            zip::MemorySource source(file.data);
            error = writer.AddFromSource(file.name, source, options);
        } else {
            error = writer.AddFromMemory(file.name, file.data, options);
        }
        EXPECT_TRUE(error.Ok()) << file.name << ": " << error.message;
    }
    EXPECT_TRUE(writer.Finish().Ok());
    fs::path path = folder / (std::string(variant.label) + ".zip");
    ziptest::WriteFile(path, archive);
    return path;
}

TEST_F(ZipInterop, ModuleArchivesExtractWithInfoZipUnzip) {
    Require({"unzip"});
    const std::vector<NamedData> files = SampleFiles();
    for (const WriteVariant& variant : kWriteVariants) {
        SCOPED_TRACE(variant.label);
        const fs::path archive = WriteModuleArchive(temp_.Path(), variant, files);
        const std::string password =
            *variant.password != '\0' ? std::string("-P ") + variant.password : "";
        std::string output;
        EXPECT_EQ(RunTool("unzip -t " + password + " " + Quote(archive), &output), 0) << output;
        const fs::path out = temp_.Path() / (std::string("unzip-") + variant.label);
        EXPECT_EQ(RunTool("unzip -q -o " + password + " " + Quote(archive) + " -d " + Quote(out),
                          &output),
                  0)
            << output;
        ExpectTree(out, files);
        EXPECT_TRUE(fs::is_directory(out / "emptydir"));

        ASSERT_EQ(RunTool("unzip -Z1 " + Quote(archive), &output), 0) << output;
        for (const NamedData& file : files) {
            EXPECT_NE(output.find(file.name + "\n"), std::string::npos) << file.name << " in\n"
                                                                        << output;
        }
        if (!password.empty()) {
            EXPECT_NE(RunTool("unzip -t -P wrong-password " + Quote(archive), &output), 0)
                << output;
        }
    }
}

TEST_F(ZipInterop, ModuleArchivesExtractWith7Zip) {
    Require({"7z"});
    const std::vector<NamedData> files = SampleFiles();
    for (const WriteVariant& variant : kWriteVariants) {
        SCOPED_TRACE(variant.label);
        const fs::path archive = WriteModuleArchive(temp_.Path(), variant, files);
        // Always pass a password so 7-Zip never waits for one on the terminal.
        const std::string password =
            std::string("-p") + (*variant.password != '\0' ? variant.password : "unused");
        std::string output;
        EXPECT_EQ(RunTool("7z t " + password + " " + Quote(archive) + " </dev/null", &output), 0)
            << output;
        const fs::path out = temp_.Path() / (std::string("7z-") + variant.label);
        EXPECT_EQ(RunTool("7z x -y " + password + " -o" + Quote(out) + " " + Quote(archive) +
                              " </dev/null",
                          &output),
                  0)
            << output;
        ExpectTree(out, files);
        EXPECT_TRUE(fs::is_directory(out / "emptydir"));
        if (*variant.password != '\0') {
            EXPECT_NE(RunTool("7z t -pwrong-password " + Quote(archive) + " </dev/null", &output),
                      0)
                << output;
        }
    }
}

TEST_F(ZipInterop, InfoZipArchivesOpenWithTheModule) {
    Require({"zip"});
    const std::vector<NamedData> files = SampleFiles();
    const fs::path tree = WriteTree("zip-input", files);
    struct Variant {
        const char* label;
        const char* options;
        const char* password;
    };
    for (Variant variant : {Variant{"deflate", "", ""}, Variant{"stored", "-0", ""},
                            Variant{"encrypted", "-P tindrake_7_vlts", kPassword},
                            Variant{"encrypted-stored", "-0 -P tindrake_7_vlts", kPassword}}) {
        SCOPED_TRACE(variant.label);
        const fs::path archive = temp_.Path() / (std::string("infozip-") + variant.label + ".zip");
        std::string output;
        ASSERT_EQ(RunTool("cd " + Quote(tree) + " && zip -q -r " + variant.options + " " +
                              Quote(archive) + " .",
                          &output),
                  0)
            << output;
        std::set<std::string> names = ExpectModuleReads(archive, files, variant.password);
        EXPECT_EQ(names.count("emptydir/"), 1u);
    }
}

TEST_F(ZipInterop, SevenZipArchivesOpenWithTheModule) {
    Require({"7z"});
    const std::vector<NamedData> files = SampleFiles();
    const fs::path tree = WriteTree("7z-input", files);
    struct Variant {
        const char* label;
        const char* options;
        const char* password;
    };
    for (Variant variant :
         {Variant{"deflate", "-mm=Deflate", ""}, Variant{"stored", "-mx0", ""},
          Variant{"zipcrypto", "-mm=Deflate -ptindrake_7_vlts -mem=ZipCrypto", kPassword}}) {
        SCOPED_TRACE(variant.label);
        const fs::path archive = temp_.Path() / (std::string("7zip-") + variant.label + ".zip");
        std::string output;
        ASSERT_EQ(RunTool("cd " + Quote(tree) + " && 7z a -tzip " + variant.options + " " +
                              Quote(archive) + " . </dev/null",
                          &output),
                  0)
            << output;
        ExpectModuleReads(archive, files, variant.password);
    }
}

// Info-ZIP writing to a pipe: Zip64 end records and local extras, sizes in
// data descriptors.
TEST_F(ZipInterop, InfoZipStreamedArchiveOpensAndRewrites) {
    Require({"zip", "unzip"});
    const std::string data = ziptest::MixedBytes(2u << 20, 25);
    const fs::path input = temp_.Path() / "stream-input.bin";
    const fs::path archive = temp_.Path() / "streamed.zip";
    ziptest::WriteFile(input, data);
    std::string output;
    ASSERT_EQ(RunTool("zip -q - - < " + Quote(input) + " | cat > " + Quote(archive), &output), 0)
        << output;
    ExpectModuleReads(archive, {{"-", data}}, "");

    const std::string bytes = ziptest::ReadFile(archive);
    zip::MemorySource source(bytes);
    std::string copy;
    zip::StringSink sink(copy);
    ASSERT_TRUE(zip::RewriteKeeping(
                    source, [](const zip::Member&) { return true; }, sink)
                    .Ok());
    const fs::path copyPath = temp_.Path() / "streamed-copy.zip";
    ziptest::WriteFile(copyPath, copy);
    EXPECT_EQ(RunTool("unzip -t " + Quote(copyPath), &output), 0) << output;
    ExpectModuleReads(copyPath, {{"-", data}}, "");
}

// Removing a member from archives of both tools, encrypted ones included:
// the rest stays readable by both tools, under the same password.
TEST_F(ZipInterop, RemovingAMemberKeepsToolArchivesValid) {
    Require({"zip", "unzip", "7z"});
    const std::vector<NamedData> files = SampleFiles();
    const fs::path tree = WriteTree("remove-input", files);
    const std::vector<std::string> makers = {
        "zip -q -r -P tindrake_7_vlts",
        "7z a -tzip -mm=Deflate -ptindrake_7_vlts -mem=ZipCrypto",
    };
    for (const std::string& maker : makers) {
        SCOPED_TRACE(maker);
        const fs::path archive = temp_.Path() / "to-trim.zip";
        const fs::path trimmed = temp_.Path() / "trimmed.zip";
        fs::remove(archive);
        std::string output;
        ASSERT_EQ(
            RunTool("cd " + Quote(tree) + " && " + maker + " " + Quote(archive) + " . </dev/null",
                    &output),
            0)
            << output;
        const std::string bytes = ziptest::ReadFile(archive);
        zip::MemorySource source(bytes);
        std::string rewritten;
        zip::StringSink sink(rewritten);
        std::size_t removed = 0;
        zip::Error error = zip::RewriteWithout(source, "SUB/DEEP/DATA.TXT", sink, &removed);
        ASSERT_TRUE(error.Ok()) << error.message;
        EXPECT_EQ(removed, 1u);
        ziptest::WriteFile(trimmed, rewritten);

        EXPECT_EQ(RunTool("unzip -t -P tindrake_7_vlts " + Quote(trimmed), &output), 0) << output;
        EXPECT_EQ(RunTool("7z t -ptindrake_7_vlts " + Quote(trimmed) + " </dev/null", &output), 0)
            << output;
        ASSERT_EQ(RunTool("unzip -Z1 " + Quote(trimmed), &output), 0) << output;
        EXPECT_EQ(output.find("sub/deep/data.txt"), std::string::npos) << output;
        std::vector<NamedData> kept;
        std::copy_if(files.begin(), files.end(), std::back_inserter(kept),
                     [](const NamedData& file) { return file.name != "sub/deep/data.txt"; });
        const fs::path out = temp_.Path() / "trimmed-out";
        fs::remove_all(out);
        EXPECT_EQ(
            RunTool("unzip -q -P tindrake_7_vlts " + Quote(trimmed) + " -d " + Quote(out), &output),
            0)
            << output;
        ExpectTree(out, kept);
        EXPECT_FALSE(fs::exists(out / "sub/deep/data.txt"));
    }
}

TEST(ZipCodePage, Cp437NamesMatchIconv) {
    if (!HasTool("iconv"))
        GTEST_SKIP() << "iconv is not installed";
    ziptest::TempDir temp;
    std::string all;
    for (int byte = 0x20; byte < 0x100; ++byte) {
        if (byte != 0x7F)
            all += static_cast<char>(byte);
    }
    ziptest::WriteFile(temp.Path() / "cp437.bin", all);
    std::string expected;
    ASSERT_EQ(RunTool("iconv -f CP437 -t UTF-8 " + Quote(temp.Path() / "cp437.bin"), &expected), 0);
    EXPECT_EQ(zip::Cp437ToUtf8(all), expected);
}

}  // namespace
