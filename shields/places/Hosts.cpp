#include "shields/places/Hosts.h"

#include <vector>

#include "registry/RegistryHelper.h"

namespace shields {

namespace {

constexpr const char* kTcpipParametersKey =
    "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// One line of the file as it is stored: its text and its own line end
// ("\n", "\r\n", or nothing for an unterminated last line).
struct RawLine {
    std::string_view text;
    std::string_view end;
};

// Splits the way a text-mode read does: at every "\n". A UTF-8 mark in front
// of the first line is no part of it.
std::vector<RawLine> SplitLines(std::string_view contents) {
    std::vector<RawLine> lines;
    if (contents.starts_with(kUtf8Mark))
        contents.remove_prefix(kUtf8Mark.size());
    while (!contents.empty()) {
        const std::size_t feed = contents.find('\n');
        const std::string_view whole =
            feed == std::string_view::npos ? contents : contents.substr(0, feed + 1);
        std::string_view text = whole;
        std::string_view end;
        if (text.ends_with("\r\n")) {
            end = text.substr(text.size() - 2);
        } else if (text.ends_with('\n')) {
            end = text.substr(text.size() - 1);
        }
        text.remove_suffix(end.size());
        lines.push_back({text, end});
        contents.remove_prefix(whole.size());
    }
    return lines;
}

}  // namespace

std::string HostsFolder(platform::Registry& registry, platform::Environment& environment) {
    const std::string stored = CRegistryHelper(registry).QueryString(
        platform::kHkeyLocalMachine, kTcpipParametersKey, "DataBasePath", "");
    std::string expanded;
    if (!text::Trim(stored).empty() && environment.ExpandEnvironmentStrings(stored, &expanded) &&
        !text::Trim(expanded).empty()) {
        return text::WithoutTrailingBackslash(text::Trim(expanded));
    }
    const std::string windows = environment.WindowsFolder();
    if (windows.empty())
        return {};
    return windows + "\\system32\\drivers\\etc";
}

std::string HostsFilePath(platform::Registry& registry, platform::Environment& environment) {
    const std::string folder = HostsFolder(registry, environment);
    return folder.empty() ? std::string() : folder + "\\hosts";
}

bool IsAddressLine(std::string_view trimmed) {
    return !trimmed.empty() && trimmed.front() != '#';
}

std::string HostsRewritePath(std::string_view hostsPath) {
    return std::string(hostsPath) + ".brindlex-new";
}

bool HostsShield::TakeHostsSnapshot(std::string_view path) {
    snapshot_.clear();
    path_ = std::string(path);
    std::string contents;
    if (files_.ReadFile(path_, &contents) != platform::kSuccess)
        return false;
    for (const RawLine& line : SplitLines(contents)) {
        const std::string_view trimmed = text::Trim(line.text);
        if (IsAddressLine(trimmed))
            snapshot_.emplace(trimmed);
    }
    return true;
}

std::optional<std::string> HostsShield::FindNewLine() const {
    std::vector<std::string> lines = FindNewLines();
    if (lines.empty())
        return std::nullopt;
    return std::move(lines.front());
}

std::vector<std::string> HostsShield::FindNewLines() const {
    std::vector<std::string> found;
    std::string contents;
    if (path_.empty() || files_.ReadFile(path_, &contents) != platform::kSuccess)
        return found;
    for (const RawLine& line : SplitLines(contents)) {
        const std::string_view trimmed = text::Trim(line.text);
        if (IsAddressLine(trimmed) && !InSnapshot(trimmed))
            found.emplace_back(trimmed);
    }
    return found;
}

HostsShield::Outcome HostsShield::CheckHostsFile(const Ask& ask) {
    const std::optional<std::string> line = FindNewLine();
    if (!line)
        return Outcome::kNothingNew;
    if (!ask(*line)) {
        TakeHostsSnapshot(std::string(path_));
        return Outcome::kAccepted;
    }
    return RemoveUnknownLines() == platform::kSuccess ? Outcome::kRemoved : Outcome::kKept;
}

platform::Status HostsShield::RemoveUnknownLines() {
    std::string contents;
    if (platform::Status read = files_.ReadFile(path_, &contents); read != platform::kSuccess)
        return read;
    std::string kept;
    kept.reserve(contents.size());
    if (std::string_view(contents).starts_with(kUtf8Mark))
        kept += kUtf8Mark;
    bool dropped = false;
    for (const RawLine& line : SplitLines(contents)) {
        const std::string_view trimmed = text::Trim(line.text);
        if (trimmed.starts_with('#') || (!trimmed.empty() && InSnapshot(trimmed))) {
            kept += line.text;
            kept += line.end;
        } else {
            dropped = true;
        }
    }
    if (!dropped)
        return platform::kSuccess;
    return WriteBesideAndReplace(kept);
}

platform::Status HostsShield::WriteBesideAndReplace(std::string_view contents) {
    const std::string beside = HostsRewritePath(path_);
    // A leftover of an earlier attempt may be read-only; it is ours to replace.
    if (files_.Exists(beside)) {
        files_.SetAttributes(beside, platform::kAttrNormal);
        files_.DeleteFile(beside);
    }
    platform::Status status = platform::kSuccess;
    {
        std::unique_ptr<platform::FileWriter> writer = files_.OpenWrite(beside, false, &status);
        if (!writer)
            return status;
        status = writer->Write(contents.data(), contents.size());
        const platform::Status closed = writer->Close();
        if (status == platform::kSuccess)
            status = closed;
    }
    if (status != platform::kSuccess) {
        files_.DeleteFile(beside);
        return status;
    }
    // Hijackers make the file read-only to keep their lines in it. The user
    // has just refused such a line, so the file is replaced all the same, and
    // it keeps the attributes it had (read-only included) afterwards.
    const std::uint32_t attributes = files_.GetAttributes(path_);
    const bool readOnly =
        attributes != platform::kInvalidAttributes && (attributes & platform::kAttrReadOnly) != 0;
    if (readOnly) {
        status = files_.SetAttributes(path_, attributes & ~platform::kAttrReadOnly);
        if (status != platform::kSuccess) {
            files_.DeleteFile(beside);
            return status;
        }
    }
    status = files_.MoveFile(beside, path_, true);
    if (status != platform::kSuccess) {
        if (readOnly)
            files_.SetAttributes(path_, attributes);
        files_.DeleteFile(beside);
        return status;
    }
    if (attributes != platform::kInvalidAttributes)
        files_.SetAttributes(path_, attributes);
    return platform::kSuccess;
}

}  // namespace shields
