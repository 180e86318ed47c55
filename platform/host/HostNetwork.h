#pragma once
// The network off Windows, over libcurl. It answers with the codes the Win32
// implementation gives for the same outcomes (WinINet errors for pages,
// URL-download HRESULTs for files), and writes downloads through the
// platform file system, so Windows paths of mapped drives work.
#include <string>
#include <string_view>

#include "platform/FileSystem.h"
#include "platform/Network.h"

namespace platform::host {

class HostNetwork : public Network {
  public:
    explicit HostNetwork(FileSystem& files);

    Status FetchPage(std::string_view address, std::string* body) override;
    HResult DownloadToFile(std::string_view address, std::string_view path,
                           DownloadProgress* progress) override;
    std::string MessageText(HResult result) override;

  private:
    FileSystem& files_;
};

}  // namespace platform::host
