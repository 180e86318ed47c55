#include "zip/tests/ZipTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <random>
#include <sstream>

namespace ziptest {

std::string MixedBytes(std::size_t size, std::uint32_t seed) {
    static constexpr std::array<std::string_view, 6> kWords = {
        "alpha ", "registry ", "\r\n", "0x7FFE ", "HKEY_CURRENT_USER ", "Brindlex "};
    std::mt19937 random(seed);
    std::string out;
    out.reserve(size);
    while (out.size() < size) {
        if (random() % 4 == 0) {
            for (int i = 0; i < 16 && out.size() < size; ++i)
                out += static_cast<char>(random() & 0xFF);
        } else {
            std::string_view word = kWords[random() % kWords.size()];
            out.append(word.substr(0, size - out.size()));
        }
    }
    return out;
}

std::string NoiseBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::string out(size, '\0');
    for (char& c : out)
        c = static_cast<char>(random() & 0xFF);
    return out;
}

std::string WriteArchive(const std::vector<NamedData>& members, const zip::MemberOptions& options,
                         bool streamed) {
    std::string archive;
    zip::StringSink sink(archive);
    zip::Writer writer(sink);
    for (const NamedData& member : members) {
        zip::Error error;
        if (streamed) {
            zip::MemorySource source(member.data);
            error = writer.AddFromSource(member.name, source, options);
        } else {
            error = writer.AddFromMemory(member.name, member.data, options);
        }
        EXPECT_TRUE(error.Ok()) << member.name << ": " << error.message;
    }
    zip::Error error = writer.Finish();
    EXPECT_TRUE(error.Ok()) << error.message;
    return archive;
}

Extracted ExtractAll(std::string_view archive, std::string_view password) {
    Extracted result;
    zip::MemorySource source(archive);
    zip::Reader reader;
    result.error = reader.Open(source, password);
    if (!result.error.Ok())
        return result;
    for (std::size_t i = 0; i < reader.Count(); ++i) {
        NamedData member{reader.At(i).utf8Name, {}};
        result.error = reader.ExtractToMemory(i, &member.data, 1u << 30);
        if (!result.error.Ok())
            return result;
        result.members.push_back(std::move(member));
    }
    return result;
}

std::uint16_t Read16(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes.at(at)) |
                                      (static_cast<unsigned char>(bytes.at(at + 1)) << 8));
}

std::uint32_t Read32(const std::string& bytes, std::size_t at) {
    return Read16(bytes, at) | (static_cast<std::uint32_t>(Read16(bytes, at + 2)) << 16);
}

void Write16(std::string& bytes, std::size_t at, std::uint16_t value) {
    bytes.at(at) = static_cast<char>(value & 0xFF);
    bytes.at(at + 1) = static_cast<char>(value >> 8);
}

void Write32(std::string& bytes, std::size_t at, std::uint32_t value) {
    Write16(bytes, at, static_cast<std::uint16_t>(value & 0xFFFF));
    Write16(bytes, at + 2, static_cast<std::uint16_t>(value >> 16));
}

Layout LayoutOf(const std::string& archive) {
    Layout layout;
    layout.end = archive.size() - 22;
    EXPECT_EQ(Read32(archive, layout.end), 0x06054b50u);
    std::size_t count = Read16(archive, layout.end + 10);
    std::size_t pos = Read32(archive, layout.end + 16);
    for (std::size_t i = 0; i < count; ++i) {
        EXPECT_EQ(Read32(archive, pos), 0x02014b50u);
        layout.central.push_back(pos);
        layout.local.push_back(Read32(archive, pos + 42));
        pos +=
            46 + Read16(archive, pos + 28) + Read16(archive, pos + 30) + Read16(archive, pos + 32);
    }
    return layout;
}

TempDir::TempDir() {
    std::random_device device;
    path_ = std::filesystem::temp_directory_path() / ("bx-zip-test-" + std::to_string(device()));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::filesystem::path& path, std::string_view data) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

}  // namespace ziptest
