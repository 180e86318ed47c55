// The server side of the launch queue: one listening pipe instance at a time,
// one thread per connected client, so several clients are served at once and
// a callback that waits for the user holds up only its own client.
#include <aclapi.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "inject/Injection.h"
#include "inject/LaunchQueue.h"
#include "platform/win32/UniqueHandle.h"

namespace inject {

namespace {

using Kernel = platform::win32::UniqueHandle<platform::win32::KernelHandleTraits>;
using File = platform::win32::UniqueHandle<platform::win32::FileHandleTraits>;

constexpr DWORD kBufferSize = 4096;
constexpr DWORD kAnswerSize = 4;

struct Queue {
    std::wstring name;
    std::wstring pipePath;
    QueueCallback callback = nullptr;
    Kernel stop{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::vector<BYTE> securityDescriptor;  // self-relative, same user only
    SECURITY_ATTRIBUTES security{};
};

std::mutex g_queuesLock;
std::vector<std::shared_ptr<Queue>> g_queues;

// A DACL that lets only the current user's SID in.
bool BuildSameUserSecurity(Queue& queue) {
    Kernel token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put()))
        return false;
    DWORD size = 0;
    ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> userBuffer(size);
    if (size == 0 || !::GetTokenInformation(token.Get(), TokenUser, userBuffer.data(), size, &size))
        return false;
    PSID sid = reinterpret_cast<TOKEN_USER*>(userBuffer.data())->User.Sid;

    EXPLICIT_ACCESSW access{};
    access.grfAccessPermissions = GENERIC_ALL;
    access.grfAccessMode = SET_ACCESS;
    access.grfInheritance = NO_INHERITANCE;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_USER;
    access.Trustee.ptstrName = static_cast<LPWSTR>(sid);
    PACL acl = nullptr;
    if (::SetEntriesInAclW(1, &access, nullptr, &acl) != ERROR_SUCCESS)
        return false;
    SECURITY_DESCRIPTOR absolute{};
    bool ok = ::InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION) &&
              ::SetSecurityDescriptorDacl(&absolute, TRUE, acl, FALSE);
    DWORD relativeSize = 0;
    if (ok) {
        ::MakeSelfRelativeSD(&absolute, nullptr, &relativeSize);
        queue.securityDescriptor.resize(relativeSize);
        ok = relativeSize != 0 &&
             ::MakeSelfRelativeSD(&absolute, queue.securityDescriptor.data(), &relativeSize);
    }
    ::LocalFree(acl);
    queue.security.nLength = sizeof queue.security;
    queue.security.lpSecurityDescriptor = queue.securityDescriptor.data();
    queue.security.bInheritHandle = FALSE;
    return ok;
}

File CreateInstance(Queue& queue, bool first) {
    DWORD openMode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED;
    // The first instance must be ours, so no other process can pose as the
    // program by creating the pipe before it.
    if (first)
        openMode |= FILE_FLAG_FIRST_PIPE_INSTANCE;
    return File(::CreateNamedPipeW(
        queue.pipePath.c_str(), openMode,
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
        PIPE_UNLIMITED_INSTANCES, kBufferSize, kBufferSize, 0, &queue.security));
}

// Waits for an overlapped operation on `pipe` or the queue's stop event.
// False when stopped or failed; `transferred` holds the byte count.
bool Complete(Queue& queue, HANDLE pipe, OVERLAPPED& overlapped, BOOL started, DWORD* transferred,
              DWORD* error) {
    *error = started ? ERROR_SUCCESS : ::GetLastError();
    if (!started && *error != ERROR_IO_PENDING && *error != ERROR_MORE_DATA)
        return false;
    if (!started && *error == ERROR_IO_PENDING) {
        HANDLE waits[] = {overlapped.hEvent, queue.stop.Get()};
        if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
            ::CancelIoEx(pipe, &overlapped);
            ::GetOverlappedResult(pipe, &overlapped, transferred, TRUE);
            return false;
        }
    }
    if (::GetOverlappedResult(pipe, &overlapped, transferred, FALSE)) {
        *error = ERROR_SUCCESS;
        return true;
    }
    *error = ::GetLastError();
    return *error == ERROR_MORE_DATA;
}

// Serves one client until it disconnects or the queue stops.
void ServeClient(std::shared_ptr<Queue> queue, File pipe) {
    Kernel event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event)
        return;
    std::vector<BYTE> message(kBufferSize);
    for (;;) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = event.Get();
        ::ResetEvent(event.Get());
        DWORD read = 0;
        DWORD error = 0;
        BOOL started = ::ReadFile(pipe.Get(), message.data(), kBufferSize, nullptr, &overlapped);
        if (!Complete(*queue, pipe.Get(), overlapped, started, &read, &error))
            break;
        // A message longer than any query is not one: drop the client.
        if (error == ERROR_MORE_DATA)
            break;
        BYTE answer[kAnswerSize] = {};
        queue->callback(queue->name.c_str(), message.data(), read, answer, kAnswerSize);
        if (::WaitForSingleObject(queue->stop.Get(), 0) == WAIT_OBJECT_0)
            break;
        overlapped = OVERLAPPED{};
        overlapped.hEvent = event.Get();
        ::ResetEvent(event.Get());
        DWORD written = 0;
        started = ::WriteFile(pipe.Get(), answer, kAnswerSize, nullptr, &overlapped);
        if (!Complete(*queue, pipe.Get(), overlapped, started, &written, &error) ||
            written != kAnswerSize) {
            break;
        }
    }
    ::DisconnectNamedPipe(pipe.Get());
}

DWORD WINAPI ClientThread(void* parameter) {
    std::unique_ptr<std::pair<std::shared_ptr<Queue>, File>> work(
        static_cast<std::pair<std::shared_ptr<Queue>, File>*>(parameter));
    ServeClient(std::move(work->first), std::move(work->second));
    return 0;
}

// Accepts clients: each connected instance goes to its own thread and a fresh
// instance listens for the next.
void Listen(std::shared_ptr<Queue> queue, File listening) {
    Kernel event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    while (listening && event) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = event.Get();
        ::ResetEvent(event.Get());
        BOOL connected = ::ConnectNamedPipe(listening.Get(), &overlapped);
        DWORD error = connected ? ERROR_SUCCESS : ::GetLastError();
        if (!connected && error == ERROR_IO_PENDING) {
            HANDLE waits[] = {event.Get(), queue->stop.Get()};
            if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
                ::CancelIoEx(listening.Get(), &overlapped);
                DWORD ignored = 0;
                ::GetOverlappedResult(listening.Get(), &overlapped, &ignored, TRUE);
                return;
            }
            DWORD ignored = 0;
            connected = ::GetOverlappedResult(listening.Get(), &overlapped, &ignored, FALSE);
            error = connected ? ERROR_SUCCESS : ::GetLastError();
        }
        if (!connected && error != ERROR_PIPE_CONNECTED) {
            // A client that came and went: listen on this instance again,
            // after a pause so a persistent failure cannot spin.
            ::DisconnectNamedPipe(listening.Get());
            if (::WaitForSingleObject(queue->stop.Get(), 10) == WAIT_OBJECT_0)
                return;
            continue;
        }
        // The next instance exists before this one is handed on, so a client
        // arriving meanwhile finds one to wait for.
        File next = CreateInstance(*queue, false);
        auto* work = new std::pair<std::shared_ptr<Queue>, File>(queue, std::move(listening));
        HANDLE thread = ::CreateThread(nullptr, 0, ClientThread, work, 0, nullptr);
        if (thread != nullptr) {
            ::CloseHandle(thread);
        } else {
            delete work;
        }
        listening = std::move(next);
    }
}

DWORD WINAPI ListenThread(void* parameter) {
    std::unique_ptr<std::pair<std::shared_ptr<Queue>, File>> work(
        static_cast<std::pair<std::shared_ptr<Queue>, File>*>(parameter));
    Listen(std::move(work->first), std::move(work->second));
    return 0;
}

}  // namespace

void CloseAllQueues() {
    std::vector<std::shared_ptr<Queue>> queues;
    {
        std::lock_guard<std::mutex> lock(g_queuesLock);
        queues.swap(g_queues);
    }
    for (auto& queue : queues)
        ::SetEvent(queue->stop.Get());
}

bool CreateIpcQueue(const wchar_t* queueName, QueueCallback callback) {
    if (queueName == nullptr || *queueName == L'\0' || callback == nullptr)
        return false;
    auto queue = std::make_shared<Queue>();
    queue->name = queueName;
    queue->pipePath = std::wstring(L"\\\\.\\pipe\\") + queueName;
    queue->callback = callback;
    if (!queue->stop || !BuildSameUserSecurity(*queue))
        return false;
    {
        std::lock_guard<std::mutex> lock(g_queuesLock);
        for (const auto& existing : g_queues) {
            if (::lstrcmpiW(existing->name.c_str(), queueName) == 0)
                return false;
        }
    }
    // Wine does not refuse a first instance of a pipe that exists, so look
    // for another server before creating ours.
    if (::WaitNamedPipeW(queue->pipePath.c_str(), 1) || ::GetLastError() != ERROR_FILE_NOT_FOUND)
        return false;
    File first = CreateInstance(*queue, true);
    if (!first)
        return false;
    auto* work = new std::pair<std::shared_ptr<Queue>, File>(queue, std::move(first));
    HANDLE thread = ::CreateThread(nullptr, 0, ListenThread, work, 0, nullptr);
    if (thread == nullptr) {
        delete work;
        return false;
    }
    ::CloseHandle(thread);
    std::lock_guard<std::mutex> lock(g_queuesLock);
    g_queues.push_back(std::move(queue));
    return true;
}

}  // namespace inject
