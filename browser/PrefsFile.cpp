#include "browser/PrefsFile.h"

#include <cctype>
#include <cstdint>

#include "platform/Text.h"

namespace browser {
namespace {

constexpr std::string_view kStatements[] = {"user_pref", "sticky_pref", "pref"};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// A cursor over one line's bytes; every read is bounds-checked.
class LineScanner {
  public:
    explicit LineScanner(std::string_view line) : s_(line) {}

    void SkipBlanks() {
        while (pos_ < s_.size() && IsBlank(s_[pos_]))
            ++pos_;
    }
    bool AtEnd() const { return pos_ >= s_.size(); }
    bool Take(char c) {
        SkipBlanks();
        if (pos_ < s_.size() && s_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool TakeWord(std::string_view word) {
        SkipBlanks();
        if (s_.substr(pos_, word.size()) != word)
            return false;
        // The word must end there: "prefs(" is no statement.
        const std::size_t after = pos_ + word.size();
        if (after < s_.size() &&
            (std::isalnum(static_cast<unsigned char>(s_[after])) != 0 || s_[after] == '_')) {
            return false;
        }
        pos_ = after;
        return true;
    }
    // A quoted string with backslash escapes, decoded into `out`.
    bool TakeString(std::string* out) {
        SkipBlanks();
        if (pos_ >= s_.size() || (s_[pos_] != '"' && s_[pos_] != '\''))
            return false;
        const char quote = s_[pos_++];
        out->clear();
        while (pos_ < s_.size()) {
            const char c = s_[pos_++];
            if (c == quote)
                return true;
            if (c != '\\') {
                *out += c;
                continue;
            }
            if (pos_ >= s_.size())
                return false;
            const char e = s_[pos_++];
            switch (e) {
                case 'n':
                    *out += '\n';
                    break;
                case 'r':
                    *out += '\r';
                    break;
                case 't':
                    *out += '\t';
                    break;
                case 'x':
                case 'u': {
                    const std::size_t digits = e == 'x' ? 2 : 4;
                    if (s_.size() - pos_ < digits)
                        return false;
                    std::uint32_t code = 0;
                    for (std::size_t i = 0; i < digits; ++i) {
                        const int d = text::HexDigit(s_[pos_ + i]);
                        if (d < 0)
                            return false;
                        code = code * 16 + static_cast<std::uint32_t>(d);
                    }
                    pos_ += digits;
                    if (e == 'x')
                        *out += static_cast<char>(code);
                    else
                        text::AppendUtf8(*out, code);
                    break;
                }
                default:
                    *out += e;  // \\, \", \' and anything else stand for themselves
                    break;
            }
        }
        return false;  // the string runs past the line
    }
    // true, false or a decimal integer, as written.
    bool TakeBare(std::string* out) {
        SkipBlanks();
        const std::size_t start = pos_;
        if (TakeWord("true") || TakeWord("false")) {
            *out = std::string(s_.substr(start, pos_ - start));
            return true;
        }
        std::size_t i = pos_;
        if (i < s_.size() && (s_[i] == '-' || s_[i] == '+'))
            ++i;
        const std::size_t digits = i;
        while (i < s_.size() && s_[i] >= '0' && s_[i] <= '9')
            ++i;
        if (i == digits)
            return false;
        *out = std::string(s_.substr(pos_, i - pos_));
        pos_ = i;
        return true;
    }
    // Nothing but blanks or a // comment is left.
    bool OnlyCommentLeft() {
        SkipBlanks();
        return AtEnd() || s_.substr(pos_, 2) == "//";
    }

  private:
    std::string_view s_;
    std::size_t pos_ = 0;
};

bool ParseStatement(std::string_view line, PrefsLine& out) {
    LineScanner scan(line);
    bool keyword = false;
    for (std::string_view word : kStatements) {
        if (scan.TakeWord(word)) {
            keyword = true;
            break;
        }
    }
    if (!keyword || !scan.Take('(') || !scan.TakeString(&out.name) || !scan.Take(','))
        return false;
    out.isString = scan.TakeString(&out.value);
    if (!out.isString && !scan.TakeBare(&out.value))
        return false;
    return scan.Take(')') && scan.Take(';') && scan.OnlyCommentLeft();
}

// Follows /* */ comments from line to line, outside quoted strings.
// Returns whether the line ends inside a comment.
bool EndsInComment(std::string_view line, bool inComment) {
    char quote = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        const char after = i + 1 < line.size() ? line[i + 1] : '\0';
        if (inComment) {
            if (c == '*' && after == '/') {
                inComment = false;
                ++i;
            }
        } else if (quote != 0) {
            if (c == '\\')
                ++i;
            else if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '/' && after == '/') {
            return false;
        } else if (c == '/' && after == '*') {
            inComment = true;
            ++i;
        }
    }
    return inComment;
}

}  // namespace

std::vector<PrefsLine> ReadPrefsLines(std::string_view text) {
    std::vector<PrefsLine> lines;
    bool inComment = false;
    std::size_t begin = 0;
    while (begin < text.size()) {
        const std::size_t newline = text.find('\n', begin);
        PrefsLine& line = lines.emplace_back();
        line.begin = begin;
        line.next = newline == std::string_view::npos ? text.size() : newline + 1;
        line.end = newline == std::string_view::npos ? text.size() : newline;
        if (line.end > line.begin && text[line.end - 1] == '\r')
            --line.end;
        const std::string_view content = LineText(text, line);
        if (!inComment && ParseStatement(content, line)) {
            line.isPref = true;
        } else {
            line.name.clear();
            line.value.clear();
            line.isString = false;
            inComment = EndsInComment(content, inComment);
        }
        begin = line.next;
    }
    return lines;
}

std::string WithoutLines(std::string_view text, const std::vector<PrefsLine>& lines,
                         const std::function<bool(const PrefsLine&)>& remove) {
    std::string out;
    out.reserve(text.size());
    for (const PrefsLine& line : lines) {
        if (!remove(line))
            out.append(text.substr(line.begin, line.next - line.begin));
    }
    return out;
}

platform::Status RemovePrefsLines(
    platform::FileSystem& files, std::string_view path,
    const std::function<bool(const PrefsLine&, std::string_view)>& remove, int* removed) {
    if (removed != nullptr)
        *removed = 0;
    std::string text;
    if (const platform::Status status = files.ReadFile(path, &text); status != platform::kSuccess)
        return status;
    const std::vector<PrefsLine> lines = ReadPrefsLines(text);
    int count = 0;
    const std::string rewritten = WithoutLines(text, lines, [&](const PrefsLine& line) {
        const bool take = line.isPref && remove(line, LineText(text, line));
        count += take ? 1 : 0;
        return take;
    });
    if (count == 0)
        return platform::kSuccess;
    const std::string beside = std::string(path) + ".bxnew";
    if (const platform::Status status = files.WriteFile(beside, rewritten);
        status != platform::kSuccess) {
        files.DeleteFile(beside);
        return status;
    }
    const std::uint32_t attributes = files.GetAttributes(path);
    if (attributes != platform::kInvalidAttributes && (attributes & platform::kAttrReadOnly) != 0) {
        const std::uint32_t cleared = attributes & ~platform::kAttrReadOnly;
        files.SetAttributes(path, cleared != 0 ? cleared : platform::kAttrNormal);
    }
    if (const platform::Status status = files.MoveFile(beside, path, true);
        status != platform::kSuccess) {
        files.DeleteFile(beside);
        return status;
    }
    if (removed != nullptr)
        *removed = count;
    return platform::kSuccess;
}

}  // namespace browser
