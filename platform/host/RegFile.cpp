#include "platform/host/RegFile.h"

#include <functional>
#include <vector>

#include "platform/ScopedKey.h"
#include "platform/Text.h"
#include "platform/host/MemoryRegistry.h"

namespace platform::host {

namespace {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::uint32_t kDelete = 0x00010000;
// The editor breaks a hex line once it reaches this many characters.
constexpr std::size_t kHexLineBreak = 77;
// Keys nest at most this deep in the registry.
constexpr std::size_t kMaxDepth = 512;

// Characters as the editor counts them for line lengths (UTF-16 units).
std::size_t Utf16Length(std::string_view s) {
    std::size_t n = 0;
    for (char c : s) {
        auto b = static_cast<unsigned char>(c);
        if ((b & 0xC0) != 0x80)
            n += b >= 0xF0 ? 2 : 1;
    }
    return n;
}

bool IsStringType(std::uint32_t type) {
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

// ---- Registry walking helpers ---------------------------------------------

// Reads subkey names of an open key.
Status SubKeyNames(Registry& reg, HKey key, std::vector<std::string>* names) {
    std::string buffer(256, '\0');
    for (std::uint32_t i = 0;; ++i) {
        auto size = static_cast<std::uint32_t>(buffer.size());
        Status s = reg.EnumKey(key, i, buffer.data(), &size, nullptr, nullptr);
        if (s == kErrorNoMoreItems)
            return kSuccess;
        if (s == kErrorMoreData && size > buffer.size()) {
            buffer.resize(size);
            --i;
            continue;
        }
        if (s != kSuccess)
            return s;
        names->emplace_back(buffer.data(), size);
    }
}

Status DeleteTree(Registry& reg, HKey parent, std::string_view path) {
    ScopedKey key;
    if (Status s = ScopedKey::Open(reg, parent, path, kKeyRead | kDelete, &key))
        return s;
    for (;;) {
        std::vector<std::string> names;
        if (Status s = SubKeyNames(reg, key.get(), &names))
            return s;
        if (names.empty())
            break;
        for (const std::string& name : names) {
            if (Status s = DeleteTree(reg, key.get(), name))
                return s;
        }
    }
    key.Reset();
    return reg.DeleteKey(parent, path);
}

// ---- Import ----------------------------------------------------------------

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    return s;
}

// 1 to 8 hex digits.
bool ParseHex32(std::string_view s, std::uint32_t* value) {
    if (s.empty() || s.size() > 8)
        return false;
    std::uint32_t v = 0;
    for (char c : s) {
        int d = text::HexDigit(c);
        if (d < 0)
            return false;
        v = (v << 4) | static_cast<std::uint32_t>(d);
    }
    *value = v;
    return true;
}

// A quoted string starting at s[pos] == '"'; leaves pos after the closing
// quote.
bool ParseQuoted(std::string_view s, std::size_t* pos, std::string* out) {
    std::size_t i = *pos + 1;
    out->clear();
    while (i < s.size()) {
        char c = s[i];
        if (c == '"') {
            *pos = i + 1;
            return true;
        }
        if (c == '\\' && i + 1 < s.size()) {
            char e = s[i + 1];
            switch (e) {
                case '\\':
                    *out += '\\';
                    break;
                case '"':
                    *out += '"';
                    break;
                case 'n':
                    *out += '\n';
                    break;
                case 'r':
                    *out += '\r';
                    break;
                case '0':
                    *out += '\0';
                    break;
                default:
                    *out += '\\';
                    *out += e;
                    break;
            }
            i += 2;
            continue;
        }
        *out += c;
        ++i;
    }
    return false;
}

class Importer {
  public:
    Importer(Registry& reg, std::string* error) : reg_(reg), error_(error) {}
    Importer(const Importer&) = delete;
    Importer& operator=(const Importer&) = delete;

    Status Run(std::string_view fileBytes) {
        std::string decoded;
        if (Status s = Decode(fileBytes, &decoded))
            return s;
        for (std::string_view line : text::Split(decoded, '\n'))
            lines_.push_back(line);
        if (!lines_.empty() && lines_.back().empty())
            lines_.pop_back();  // after the last '\n'

        std::size_t i = 0;
        while (i < lines_.size() && Trim(lines_[i]).empty())
            ++i;
        if (i == lines_.size())
            return Fail(1, "empty file, no header");
        std::string_view header = Trim(lines_[i]);
        if (header == kHeader4) {
            unicodeHex_ = false;
        } else if (header == kHeader5) {
            unicodeHex_ = true;
        } else {
            return Fail(i + 1, "not a registry file header");
        }
        for (++i; i < lines_.size(); ++i) {
            std::string_view line = Trim(lines_[i]);
            if (line.empty() || line.front() == ';')
                continue;
            Status s = line.front() == '[' ? KeyLine(i, line) : ValueLine(&i, line);
            if (s != kSuccess)
                return s;
        }
        return kSuccess;
    }

  private:
    static std::string_view Trim(std::string_view s) { return TrimLeft(TrimRight(s)); }

    Status Fail(std::size_t lineNumber, std::string_view why,
                Status status = kErrorInvalidParameter) {
        if (error_ != nullptr) {
            *error_ = "line " + std::to_string(lineNumber) + ": " + std::string(why);
            if (status != kErrorInvalidParameter)
                *error_ += " (error " + std::to_string(status) + ")";
        }
        return status;
    }

    Status Decode(std::string_view bytes, std::string* out) {
        auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
        bool utf16 = false;
        if (bytes.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE) {
            bytes.remove_prefix(2);
            utf16 = true;
        } else if (bytes.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {
            bytes.remove_prefix(3);
        } else if (bytes.size() >= 2 && at(0) != 0 && at(1) == 0) {
            utf16 = true;  // UTF-16LE without its mark
        }
        if (utf16 && bytes.size() % 2 != 0)
            return Fail(1, "truncated UTF-16 text");
        *out = utf16 ? text::Utf16LeToUtf8(bytes) : std::string(bytes);
        return kSuccess;
    }

    Status KeyLine(std::size_t i, std::string_view line) {
        current_.Reset();
        if (line.size() < 2 || line.back() != ']')
            return Fail(i + 1, "key name without ']'");
        std::string_view name = line.substr(1, line.size() - 2);
        bool remove = !name.empty() && name.front() == '-';
        if (remove)
            name.remove_prefix(1);
        std::size_t slash = name.find('\\');
        std::string_view rootText = name.substr(0, slash);
        std::string_view path =
            slash == std::string_view::npos ? std::string_view{} : name.substr(slash + 1);
        HKey root = RootFromName(rootText);
        if (root == kNullKey)
            return Fail(i + 1, "unknown root key \"" + std::string(rootText) + "\"");
        if (remove) {
            Status s = DeleteTree(reg_, root, path);
            if (s != kSuccess && s != kErrorFileNotFound) {
                return Fail(i + 1, "cannot delete key " + std::string(name), s);
            }
            return kSuccess;
        }
        if (text::Split(path, '\\').size() > kMaxDepth)
            return Fail(i + 1, "key path deeper than the registry allows");
        HKey key = kNullKey;
        Status s = reg_.CreateKey(root, path, kRegOptionNonVolatile, kKeyAllAccess, &key, nullptr);
        if (s != kSuccess)
            return Fail(i + 1, "cannot create key " + std::string(name), s);
        current_ = ScopedKey(reg_, key);
        return kSuccess;
    }

    Status ValueLine(std::size_t* index, std::string_view line) {
        const std::size_t lineNumber = *index + 1;
        if (!current_)
            return Fail(lineNumber, "value outside a key");
        std::string name;
        std::size_t pos = 0;
        if (line.front() == '@') {
            pos = 1;
        } else if (line.front() == '"') {
            if (!ParseQuoted(line, &pos, &name))
                return Fail(lineNumber, "unterminated value name");
        } else {
            return Fail(lineNumber, "expected a value name");
        }
        std::string_view rest = TrimLeft(line.substr(pos));
        if (rest.empty() || rest.front() != '=')
            return Fail(lineNumber, "expected '=' after the value name");
        rest = TrimLeft(rest.substr(1));

        std::uint32_t type = kRegSz;
        std::string data;
        if (rest == "-") {
            Status s = reg_.DeleteValue(current_.get(), name);
            if (s != kSuccess && s != kErrorFileNotFound) {
                return Fail(lineNumber, "cannot delete value \"" + name + "\"", s);
            }
            return kSuccess;
        }
        if (!rest.empty() && rest.front() == '"') {
            std::size_t p = 0;
            if (!ParseQuoted(rest, &p, &data))
                return Fail(lineNumber, "unterminated string");
            if (!Trim(rest.substr(p)).empty())
                return Fail(lineNumber, "text after the string");
            data += '\0';
        } else if (text::StartsWithNoCase(rest, "dword:")) {
            std::uint32_t v = 0;
            if (!ParseHex32(Trim(rest.substr(6)), &v))
                return Fail(lineNumber, "bad dword value");
            type = kRegDword;
            for (int k = 0; k < 4; ++k)
                data += static_cast<char>((v >> (8 * k)) & 0xFF);
        } else if (text::StartsWithNoCase(rest, "hex")) {
            rest.remove_prefix(3);
            type = kRegBinary;
            if (!rest.empty() && rest.front() == '(') {
                std::size_t close = rest.find(')');
                if (close == std::string_view::npos ||
                    !ParseHex32(rest.substr(1, close - 1), &type)) {
                    return Fail(lineNumber, "bad hex value type");
                }
                rest.remove_prefix(close + 1);
            }
            if (rest.empty() || rest.front() != ':')
                return Fail(lineNumber, "expected ':' after hex");
            if (Status s = HexData(index, rest.substr(1), &data))
                return s;
            if (unicodeHex_ && IsStringType(type))
                data = text::Utf16LeToUtf8(data);
        } else {
            return Fail(lineNumber, "unrecognised value data");
        }
        Status s = reg_.SetValue(current_.get(), name, type, data.data(),
                                 static_cast<std::uint32_t>(data.size()));
        if (s != kSuccess)
            return Fail(lineNumber, "cannot set value \"" + name + "\"", s);
        return kSuccess;
    }

    // Comma-separated bytes, continued on the next lines while a line ends
    // with a backslash.
    Status HexData(std::size_t* index, std::string_view first, std::string* out) {
        const std::size_t lineNumber = *index + 1;
        std::string body;
        std::string_view part = TrimRight(first);
        for (;;) {
            if (part.empty() || part.back() != '\\') {
                body += part;
                break;
            }
            part.remove_suffix(1);
            body += part;
            do {
                if (++*index >= lines_.size())
                    return Fail(lineNumber, "hex data continued past the end");
                part = Trim(lines_[*index]);
            } while (!part.empty() && part.front() == ';');
        }
        std::vector<std::string_view> bytes = text::Split(body, ',');
        for (std::size_t k = 0; k < bytes.size(); ++k) {
            std::string_view b = Trim(bytes[k]);
            if (b.empty() && k + 1 == bytes.size())
                break;  // "hex:" or a trailing comma
            std::uint32_t v = 0;
            if (b.size() > 2 || !ParseHex32(b, &v)) {
                return Fail(lineNumber, "bad hex byte \"" + std::string(b) + "\"");
            }
            *out += static_cast<char>(v);
        }
        return kSuccess;
    }

    Registry& reg_;
    std::string* error_;
    std::vector<std::string_view> lines_;
    bool unicodeHex_ = true;
    ScopedKey current_;
};

// ---- Export ----------------------------------------------------------------

std::string Escape(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

// Whether string data can be written as "text": no zero but an optional
// terminating one, no line breaks, and (for UTF-16 output) well-formed UTF-8.
// Like the registry editor, the text form does not keep whether the writer
// stored the terminating zero: text is imported with one.
bool QuotableString(std::string_view data, RegFormat format) {
    std::string_view body = data;
    if (!body.empty() && body.back() == '\0')
        body.remove_suffix(1);
    if (body.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos)
        return false;
    return format == RegFormat::kRegedit4 || text::IsValidUtf8(body);
}

void AppendHex(std::string& out, std::string_view prefix, std::string_view bytes) {
    static const char kDigits[] = "0123456789abcdef";
    out += prefix;
    std::size_t lineLength = Utf16Length(prefix);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        auto b = static_cast<unsigned char>(bytes[i]);
        out += kDigits[b >> 4];
        out += kDigits[b & 0xF];
        if (i + 1 == bytes.size())
            break;
        out += ',';
        lineLength += 3;
        if (lineLength >= kHexLineBreak) {
            out += "\\\r\n  ";
            lineLength = 2;
        }
    }
}

std::string HexType(std::uint32_t type) {
    static const char kDigits[] = "0123456789abcdef";
    std::string digits;
    do {
        digits.insert(digits.begin(), kDigits[type & 0xF]);
        type >>= 4;
    } while (type != 0);
    std::string out = "hex(";
    out.append(digits).append("):");
    return out;
}

void AppendValue(std::string& out, std::string_view name, std::uint32_t type, std::string_view data,
                 RegFormat format) {
    static const char kDigits[] = "0123456789abcdef";
    std::string prefix;
    if (name.empty()) {
        prefix = "@=";
    } else {
        prefix.append("\"").append(Escape(name)).append("\"=");
    }
    if (type == kRegSz && QuotableString(data, format)) {
        std::string_view body = data;
        if (!body.empty() && body.back() == '\0')
            body.remove_suffix(1);
        out.append(prefix).append("\"").append(Escape(body)).append("\"");
    } else if (type == kRegDword && data.size() == 4) {
        out.append(prefix).append("dword:");
        for (std::size_t k = 4; k-- > 0;) {
            auto b = static_cast<unsigned char>(data[k]);
            out += kDigits[b >> 4];
            out += kDigits[b & 0xF];
        }
    } else if (type == kRegBinary) {
        AppendHex(out, prefix.append("hex:"), data);
    } else if (IsStringType(type) && format == RegFormat::kVersion5) {
        AppendHex(out, prefix.append(HexType(type)), text::Utf8ToUtf16Le(data));
    } else {
        AppendHex(out, prefix.append(HexType(type)), data);
    }
    out += "\r\n";
}

using SkipKey = std::function<bool(std::string_view relativePath)>;

class Exporter {
  public:
    Exporter(Registry& reg, RegFormat format, std::string& out)
        : reg_(reg), format_(format), out_(out) {}

    // `shownPath` is the full name written in the file; `relativePath` the
    // path below `root` handed to `skip`.
    Status Key(HKey root, const std::string& relativePath, const std::string& shownPath,
               const SkipKey& skip) {
        if (skip && !relativePath.empty() && skip(relativePath))
            return kSuccess;
        std::vector<std::string> names;
        {
            ScopedKey key;
            if (Status s = ScopedKey::Open(reg_, root, relativePath, kKeyRead, &key))
                return s;
            if (Status s = Contents(key.get(), shownPath))
                return s;
            if (Status s = SubKeyNames(reg_, key.get(), &names))
                return s;
        }
        for (const std::string& name : names) {
            std::string rel = relativePath.empty() ? name : relativePath + "\\" + name;
            if (Status s = Key(root, rel, shownPath + "\\" + name, skip))
                return s;
        }
        return kSuccess;
    }

  private:
    Status Contents(HKey key, const std::string& shownPath) {
        out_ += "[" + shownPath + "]\r\n";
        KeyInfo info;
        if (Status s = reg_.QueryInfoKey(key, &info))
            return s;
        std::string name(info.maxValueNameLen + 1, '\0');
        std::string data(info.maxValueLen, '\0');
        for (std::uint32_t i = 0;;) {
            auto nameSize = static_cast<std::uint32_t>(name.size());
            auto dataSize = static_cast<std::uint32_t>(data.size());
            std::uint32_t type = 0;
            Status s =
                reg_.EnumValue(key, i, name.data(), &nameSize, &type, data.data(), &dataSize);
            if (s == kErrorNoMoreItems)
                break;
            if (s == kErrorMoreData) {
                // The value grew since the sizes were taken: grow to what the
                // call asked for, and give up if it asked for nothing more.
                const std::size_t before = name.size() + data.size();
                if (nameSize > name.size())
                    name.resize(nameSize);
                if (dataSize > data.size())
                    data.resize(dataSize);
                if (name.size() + data.size() == before)
                    return s;
                continue;
            }
            if (s != kSuccess)
                return s;
            AppendValue(out_, std::string_view(name.data(), nameSize), type,
                        std::string_view(data.data(), dataSize), format_);
            ++i;
        }
        out_ += "\r\n";
        return kSuccess;
    }

    Registry& reg_;
    RegFormat format_;
    std::string& out_;
};

std::string HeaderText(RegFormat format) {
    return std::string(format == RegFormat::kRegedit4 ? kHeader4 : kHeader5) + "\r\n\r\n";
}

std::string Encode(const std::string& text, RegFormat format) {
    if (format == RegFormat::kRegedit4)
        return text;
    std::string out = "\xFF\xFE";
    out += text::Utf8ToUtf16Le(text);
    return out;
}

std::string NormalizedPath(std::string_view path) {
    std::string out;
    for (std::string_view part : text::Split(path, '\\')) {
        if (part.empty())
            continue;
        if (!out.empty())
            out += '\\';
        out += part;
    }
    return out;
}

}  // namespace

HKey RootFromName(std::string_view name) {
    struct Root {
        std::string_view full;
        std::string_view brief;
        HKey key;
    };
    static constexpr Root kRoots[] = {
        {"HKEY_CLASSES_ROOT", "HKCR", kHkeyClassesRoot},
        {"HKEY_CURRENT_USER", "HKCU", kHkeyCurrentUser},
        {"HKEY_LOCAL_MACHINE", "HKLM", kHkeyLocalMachine},
        {"HKEY_USERS", "HKU", kHkeyUsers},
    };
    for (const Root& r : kRoots) {
        if (text::EqualsNoCase(name, r.full) || text::EqualsNoCase(name, r.brief))
            return r.key;
    }
    return kNullKey;
}

Status ImportRegText(Registry& registry, std::string_view fileBytes, std::string* error) {
    if (error != nullptr)
        error->clear();
    Importer importer(registry, error);
    return importer.Run(fileBytes);
}

Status ExportRegText(Registry& registry, HKey root, std::string_view path, RegFormat format,
                     std::string* out) {
    std::string_view rootName = RootName(root);
    if (rootName.empty())
        return kErrorInvalidHandle;
    std::string relative = NormalizedPath(path);
    std::string shown(rootName);
    if (!relative.empty())
        shown += "\\" + relative;
    std::string body = HeaderText(format);
    Exporter exporter(registry, format, body);
    if (Status s = exporter.Key(root, relative, shown, nullptr))
        return s;
    *out = Encode(body, format);
    return kSuccess;
}

Status SaveAll(MemoryRegistry& registry, RegFormat format, std::string* out) {
    std::string body = HeaderText(format);
    Exporter exporter(registry, format, body);
    // HKEY_CLASSES_ROOT is saved as the machine's Software\Classes.
    for (HKey root : {kHkeyLocalMachine, kHkeyCurrentUser, kHkeyUsers}) {
        SkipKey skip = [&registry, root](std::string_view rel) {
            return registry.IsVolatile(root, rel) || registry.IsLink(root, rel);
        };
        if (Status s = exporter.Key(root, "", std::string(RootName(root)), skip))
            return s;
    }
    *out = Encode(body, format);
    return kSuccess;
}

}  // namespace platform::host
