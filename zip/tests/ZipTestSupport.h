#pragma once
// Shared by the zip tests: generated data, archive byte surgery and a
// temporary folder.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "zip/ZipReader.h"
#include "zip/ZipWriter.h"

namespace ziptest {

// Deterministic bytes: a mix of text-like runs (compressible) and noise.
std::string MixedBytes(std::size_t size, std::uint32_t seed);
// Deterministic incompressible bytes.
std::string NoiseBytes(std::size_t size, std::uint32_t seed);

struct NamedData {
    std::string name;
    std::string data;
};

// An archive written by the module into memory; every add must succeed.
std::string WriteArchive(const std::vector<NamedData>& members,
                         const zip::MemberOptions& options = {}, bool streamed = false);

// Every member of `archive` extracted into memory (opening must succeed).
struct Extracted {
    zip::Error error;
    std::vector<NamedData> members;
};
Extracted ExtractAll(std::string_view archive, std::string_view password = {});

// Little-endian access into archive bytes.
std::uint16_t Read16(const std::string& bytes, std::size_t at);
std::uint32_t Read32(const std::string& bytes, std::size_t at);
void Write16(std::string& bytes, std::size_t at, std::uint16_t value);
void Write32(std::string& bytes, std::size_t at, std::uint32_t value);

// Where the records of a simple archive (no comment, no Zip64) are.
struct Layout {
    std::size_t end = 0;               // end of central directory record
    std::vector<std::size_t> central;  // each central header
    std::vector<std::size_t> local;    // each local header
};
Layout LayoutOf(const std::string& archive);

// A fresh folder under the system temporary folder, removed afterwards.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, std::string_view data);

}  // namespace ziptest
