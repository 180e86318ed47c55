#include "shields/places/Cookies.h"

#include "shields/places/RemoveFile.h"

namespace shields {

namespace {

// A program that keeps writing the same cookie back would otherwise hold the
// window's thread in the delete-and-look-again loop for ever.
constexpr int kMaxPasses = 16;

}  // namespace

std::string CookieName(std::string_view path) {
    const std::size_t at = path.rfind('@');
    if (at != std::string_view::npos)
        path.remove_prefix(at + 1);
    const std::size_t bracket = path.rfind('[');
    if (bracket != std::string_view::npos)
        path = path.substr(0, bracket);
    return std::string(path);
}

std::vector<std::string> DatabaseCookieNames(const refdb::ReferenceDatabase& database) {
    std::vector<std::string> names;
    for (const refdb::SpywareEntry& entry : database.entries()) {
        for (const refdb::CookieItem& cookie : entry.cookies)
            names.push_back(cookie.name);
    }
    return names;
}

void CookieShield::SetDatabaseCookieNames(const std::vector<std::string>& names) {
    databaseNames_.clear();
    for (const std::string& name : names) {
        if (!name.empty())
            databaseNames_.insert(name);
    }
}

std::vector<std::string> CookieShield::ListFiles() const {
    std::vector<std::string> paths;
    if (folder_.empty())
        return paths;
    std::unique_ptr<platform::FileSearch> search = files_.Find(folder_ + "\\*.*");
    platform::FindData found;
    while (search && search->Next(found)) {
        if (found.name == "." || found.name == ".." || found.IsDirectory())
            continue;
        paths.push_back(folder_ + "\\" + found.name);
    }
    return paths;
}

void CookieShield::TakeCookieList() {
    cookieList_ = ListFiles();
}

std::vector<std::string> CookieShield::FindNewCookies() const {
    std::unordered_set<std::string, text::HashNoCase, text::EqualNoCase> known;
    for (const std::string& path : cookieList_)
        known.insert(CookieName(path));
    std::vector<std::string> fresh;
    for (std::string& path : ListFiles()) {
        if (known.count(CookieName(path)) == 0)
            fresh.push_back(std::move(path));
    }
    return fresh;
}

CookieShield::Outcome CookieShield::CheckCookies(bool notificationsHidden, const Ask& ask) {
    Outcome outcome;
    bool deletedAny = true;
    while (deletedAny && outcome.passes < kMaxPasses) {
        ++outcome.passes;
        deletedAny = false;
        for (const std::string& path : FindNewCookies()) {
            const std::string name = CookieName(path);
            if (databaseNames_.count(name) == 0)
                continue;
            const std::uint32_t decision = decisions_.Decision(name);
            bool remove = decision == kCookieBlock;
            if (decision != kCookieBlock && decision != kCookieIgnore) {
                int dontAskAgain = 0;
                ++outcome.asked;
                const bool refused = ask(name, &dontAskAgain);
                if (refused && notificationsHidden)
                    decisions_.Record(name, kCookieBlock);
                if (dontAskAgain != 0)
                    decisions_.Record(name, refused ? kCookieBlock : kCookieIgnore);
                remove = refused;
            }
            // Only a file that really went away counts: one that cannot be
            // deleted would otherwise be found again and again.
            if (remove && RemoveRefusedFile(files_, path) == platform::kSuccess) {
                ++outcome.deleted;
                deletedAny = true;
            }
        }
    }
    TakeCookieList();
    return outcome;
}

}  // namespace shields
