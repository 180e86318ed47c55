#pragma once
// The update page: a small web page whose body text is the newest archive's
// file name.
#include <string>
#include <string_view>

#include "platform/Network.h"

namespace update {

// The name inside a page: the text in lower case, cut to what lies between
// "<body>" and "</body>" when those tags are there, without white space at
// either end.
std::string ExtractPageBody(std::string_view page);

// Reads the page at `address` into `text` (emptied first); with
// `extractBody`, keeps only ExtractPageBody of it. False when the page could
// not be read.
bool FetchUpdatePage(platform::Network& network, std::string_view address, std::string* text,
                     bool extractBody);

// White space as the C library counts it (space, \t, \n, \v, \f, \r).
std::string_view TrimSpace(std::string_view text);

}  // namespace update
