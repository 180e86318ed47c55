#pragma once
// The cookie shield: the files of the cookies folder at the last look, the
// cookie names the Reference database lists, and what happens to a new
// cookie file of such a name.
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "refdb/ReferenceDatabase.h"
#include "shields/places/CookieDecisions.h"

namespace shields {

// The name the shield knows a cookie file by: the path after its last '@'
// (the whole path without one), cut at its last '[' when it has one.
// "C:\...\Cookies\user@ads.example[2].txt" is "ads.example".
std::string CookieName(std::string_view path);

// Every cookie name of every entry of the database.
std::vector<std::string> DatabaseCookieNames(const refdb::ReferenceDatabase& database);

class CookieShield {
  public:
    // Asks about one cookie; true when the user refused it. `dontAskAgain`
    // is set to 1 when the user ticked the popup's check box.
    using Ask = std::function<bool(const std::string& name, int* dontAskAgain)>;

    // What one notice did, for the caller's log and the tests.
    struct Outcome {
        int asked = 0;
        int deleted = 0;
        int passes = 0;
    };

    CookieShield(platform::FileSystem& files, CookieDecisionStore& decisions)
        : files_(files), decisions_(decisions) {}

    void SetFolder(std::string folder) { folder_ = text::WithoutTrailingBackslash(folder); }
    const std::string& folder() const { return folder_; }
    void SetDatabaseCookieNames(const std::vector<std::string>& names);

    // Replaces the cookie list with the files the folder holds now.
    void TakeCookieList();
    // The files of the folder, in listing order, whose cookie name is the
    // name of no file of the cookie list.
    std::vector<std::string> FindNewCookies() const;
    // Deletes, keeps or asks about every new cookie file of a database name
    // by its decision, looks again while a look deleted something, then
    // retakes the cookie list. With notifications hidden a cookie that would
    // be asked about is blocked from then on.
    Outcome CheckCookies(bool notificationsHidden, const Ask& ask);

    const std::vector<std::string>& cookieList() const { return cookieList_; }

  private:
    std::vector<std::string> ListFiles() const;

    platform::FileSystem& files_;
    CookieDecisionStore& decisions_;
    std::string folder_;
    std::vector<std::string> cookieList_;
    std::unordered_set<std::string, text::HashNoCase, text::EqualNoCase> databaseNames_;
};

}  // namespace shields
