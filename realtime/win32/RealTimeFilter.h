#pragma once
// `CRealTimeFilter`: the program's handle on the filter module. It creates the
// launch queue, loads "butils.dll" into the user's processes and takes it out
// again, and hands each query to the owner window as WM_EXE_LAUNCH_PROMPT.
#include <string>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Windows.h"
#include "realtime/LaunchDecision.h"

namespace realtime {

class CRealTimeFilter {
  public:
    CRealTimeFilter();
    ~CRealTimeFilter();
    CRealTimeFilter(const CRealTimeFilter&) = delete;
    CRealTimeFilter& operator=(const CRealTimeFilter&) = delete;

    // Serves "BrindlexRealTimeQueue"; queries go to `owner` from then on.
    // False, remembering nothing, when the queue cannot be created.
    bool CreateQueue(HWND owner);
    void SetModulePath(std::string path) { modulePath_ = std::move(path); }
    const std::string& modulePath() const { return modulePath_; }

    // Results of the library are not used: the flag follows the request.
    void Inject();
    void Uninject();
    bool IsInjected() const { return injected_ != 0; }

    // While an alert is open, filter modules waiting for an answer keep
    // waiting past their usual time-out: the user is being asked. Calls pair
    // up (true, then false) and may nest.
    void SetAskingUser(bool asking);

    // The executables of the loaded database, rebuilt after every load.
    LaunchIndex& index() { return index_; }
    const LaunchIndex& index() const { return index_; }

  private:
    HWND owner_ = nullptr;
    std::string modulePath_;
    int injected_ = 0;
    platform::win32::UniqueKernelHandle asking_;
    int askingCount_ = 0;
    LaunchIndex index_;
};

// The queue callback: what the library calls for each message.
void OnLaunchQuery(const wchar_t* queueName, const void* message, DWORD messageLength, void* answer,
                   DWORD answerLength);

}  // namespace realtime
