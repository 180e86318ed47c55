#include "platform/host/HostProcesses.h"

#include <utility>

namespace platform::host {

HostProcesses::HostProcesses(std::string moduleFileName)
    : moduleFileName_(std::move(moduleFileName)) {}

std::string HostProcesses::ModuleFileName() {
    return moduleFileName_;
}

}  // namespace platform::host
