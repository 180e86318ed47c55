#pragma once
// The network through WinINet (pages) and the URL download facility (files).
#include <string>
#include <string_view>

#include "platform/Network.h"

namespace platform::win32 {

class Win32Network : public Network {
  public:
    Status FetchPage(std::string_view address, std::string* body) override;
    HResult DownloadToFile(std::string_view address, std::string_view path,
                           DownloadProgress* progress) override;
    std::string MessageText(HResult result) override;
};

}  // namespace platform::win32
