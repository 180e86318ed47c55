#pragma once
// The running program as the portable logic sees it off Windows: its module
// file name is whatever Windows path the owner says it is. Programs cannot
// be started, except the registry editor's export ("/e FILE KEY") and silent
// import ("/S FILE"), which can be emulated over a registry and a file system
// so the backup and restore flows run the same way as on Windows.
#include <string>
#include <utility>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Processes.h"
#include "platform/Registry.h"

namespace platform::host {

class HostProcesses : public Processes {
  public:
    // `moduleFileName` is a Windows path such as "C:\Program Files\App\app.exe".
    explicit HostProcesses(std::string moduleFileName);
    void SetModuleFileName(std::string moduleFileName) { moduleFileName_ = std::move(moduleFileName); }

    std::string ModuleFileName() override;
    // Only "regedit.exe" (any case, any folder) once EmulateRegistryEditor
    // was called; anything else cannot be started.
    bool RunProgram(std::string_view program, std::string_view parameters, bool wait) override;

    // Makes "regedit.exe" work on `registry` and `files` (both must outlive
    // this object): exports as version 5 text (UTF-16LE) like the real one.
    void EmulateRegistryEditor(Registry& registry, FileSystem& files);
    // Every program started, as "program parameters", in order.
    const std::vector<std::string>& StartedPrograms() const { return started_; }

  private:
    void RunRegistryEditor(std::string_view parameters);

    std::string moduleFileName_;
    Registry* registry_ = nullptr;
    FileSystem* files_ = nullptr;
    std::vector<std::string> started_;
};

}  // namespace platform::host
