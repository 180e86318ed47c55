// launch_agent.exe: the launcher of the end-to-end launch tests, and the
// helpers that look at it from outside.
//   launch_agent agent NAME           serves \\.\pipe\bxagent-NAME: each request
//                                     is a command below, run in this process
//   launch_agent ask NAME COMMAND...  sends one command to agent NAME and
//                                     prints its reply
//   launch_agent popup-wait MS        waits for the launch alert; prints its text
//   launch_agent popup-answer yes|no [check]   and waits until it has closed
//   launch_agent has-module PID NAME  exit 0 when process PID has a module of
//                                     that file name loaded (module enumeration)
//   launch_agent kill PROGRAM.exe     ends every process of that name
//   launch_agent dismiss PID          closes the message boxes of process PID,
//                                     printing their texts
// Agent commands (the reply is one line):
//   pid                    "pid N"
//   create EXE MARKER      CreateProcessW and a wait: "exit N" or "error N"
//   shell EXE MARKER       ShellExecuteW: "result N" (over 32 is success)
//   cmd EXE MARKER         cmd.exe /c EXE MARKER and a wait: "exit N" or "error N"
//   spawn NAME             starts another agent: "pid N" or "error N"
//   quit                   "bye", and the agent ends
#include <windows.h>

#include <shellapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kAlertTitle[] = L"Executable Trying to Run";
constexpr int kAlertMessage = 1006;
constexpr int kAlertCheck = 1000;
constexpr int kAlertYes = 1084;
constexpr int kAlertNo = 1085;

std::wstring PipeOf(const std::wstring& name) {
    return L"\\\\.\\pipe\\bxagent-" + name;
}

std::wstring Quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

std::wstring Self() {
    wchar_t path[MAX_PATH];
    DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length);
}

// Splits at spaces; a part in double quotes may hold spaces.
std::vector<std::wstring> Words(const std::wstring& line) {
    std::vector<std::wstring> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == L' ')
            ++i;
        if (i >= line.size())
            break;
        std::wstring word;
        if (line[i] == L'"') {
            std::size_t end = line.find(L'"', i + 1);
            if (end == std::wstring::npos)
                end = line.size();
            word = line.substr(i + 1, end - i - 1);
            i = end + 1;
        } else {
            std::size_t end = line.find(L' ', i);
            if (end == std::wstring::npos)
                end = line.size();
            word = line.substr(i, end - i);
            i = end;
        }
        words.push_back(word);
    }
    return words;
}

std::wstring RunAndWait(const wchar_t* application, std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    if (!::CreateProcessW(application, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &child)) {
        return L"error " + std::to_wstring(::GetLastError());
    }
    ::WaitForSingleObject(child.hProcess, 120000);
    DWORD code = 0;
    ::GetExitCodeProcess(child.hProcess, &code);
    ::CloseHandle(child.hThread);
    ::CloseHandle(child.hProcess);
    return L"exit " + std::to_wstring(code);
}

std::wstring Run(const std::vector<std::wstring>& words, bool* quit) {
    if (words.empty())
        return L"usage";
    const std::wstring& verb = words[0];
    if (verb == L"pid")
        return L"pid " + std::to_wstring(::GetCurrentProcessId());
    if (verb == L"quit") {
        *quit = true;
        return L"bye";
    }
    if (verb == L"create" && words.size() == 3)
        return RunAndWait(words[1].c_str(), Quoted(words[1]) + L" " + Quoted(words[2]));
    if (verb == L"cmd" && words.size() == 3) {
        return RunAndWait(nullptr,
                          L"cmd.exe /c \"" + Quoted(words[1]) + L" " + Quoted(words[2]) + L"\"");
    }
    if (verb == L"shell" && words.size() == 3) {
        const std::wstring parameters = Quoted(words[2]);
        HINSTANCE result = ::ShellExecuteW(nullptr, L"open", words[1].c_str(), parameters.c_str(),
                                           nullptr, SW_HIDE);
        return L"result " + std::to_wstring(reinterpret_cast<INT_PTR>(result));
    }
    if (verb == L"spawn" && words.size() == 2) {
        const std::wstring self = Self();
        std::wstring commandLine = Quoted(self) + L" agent " + words[1];
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION child{};
        if (!::CreateProcessW(self.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &child)) {
            return L"error " + std::to_wstring(::GetLastError());
        }
        ::CloseHandle(child.hThread);
        ::CloseHandle(child.hProcess);
        return L"pid " + std::to_wstring(child.dwProcessId);
    }
    return L"usage";
}

int Agent(const std::wstring& name) {
    const std::wstring pipe = PipeOf(name);
    for (bool quit = false; !quit;) {
        HANDLE server = ::CreateNamedPipeW(pipe.c_str(), PIPE_ACCESS_DUPLEX,
                                           PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1,
                                           8192, 8192, 0, nullptr);
        if (server == INVALID_HANDLE_VALUE)
            return 1;
        if (::ConnectNamedPipe(server, nullptr) || ::GetLastError() == ERROR_PIPE_CONNECTED) {
            wchar_t buffer[2048];
            DWORD read = 0;
            if (::ReadFile(server, buffer, sizeof buffer - sizeof(wchar_t), &read, nullptr)) {
                const std::wstring reply =
                    Run(Words(std::wstring(buffer, read / sizeof(wchar_t))), &quit);
                DWORD written = 0;
                ::WriteFile(server, reply.data(),
                            static_cast<DWORD>(reply.size() * sizeof(wchar_t)), &written, nullptr);
                ::FlushFileBuffers(server);
            }
            ::DisconnectNamedPipe(server);
        }
        ::CloseHandle(server);
    }
    return 0;
}

int Ask(const std::wstring& name, const std::wstring& command) {
    const std::wstring pipe = PipeOf(name);
    HANDLE client = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && client == INVALID_HANDLE_VALUE; ++attempt) {
        ::WaitNamedPipeW(pipe.c_str(), 200);
        client = ::CreateFileW(pipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        if (client == INVALID_HANDLE_VALUE)
            ::Sleep(100);
    }
    if (client == INVALID_HANDLE_VALUE) {
        std::printf("no agent\n");
        return 1;
    }
    DWORD mode = PIPE_READMODE_MESSAGE;
    ::SetNamedPipeHandleState(client, &mode, nullptr, nullptr);
    wchar_t reply[2048];
    DWORD got = 0;
    const BOOL ok = ::TransactNamedPipe(client, const_cast<wchar_t*>(command.data()),
                                        static_cast<DWORD>(command.size() * sizeof(wchar_t)), reply,
                                        sizeof reply, &got, nullptr);
    ::CloseHandle(client);
    if (!ok) {
        std::printf("no reply\n");
        return 1;
    }
    std::printf("%ls\n", std::wstring(reply, got / sizeof(wchar_t)).c_str());
    return 0;
}

// The visible launch alert whose buttons show (not one sliding out).
HWND FindAlert() {
    HWND found = nullptr;
    while ((found = ::FindWindowExW(nullptr, found, nullptr, kAlertTitle)) != nullptr) {
        HWND yes = ::GetDlgItem(found, kAlertYes);
        if (::IsWindowVisible(found) && yes != nullptr && ::IsWindowVisible(yes))
            return found;
    }
    return nullptr;
}

int PopupWait(DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (HWND alert = FindAlert()) {
            wchar_t text[1024] = {};
            ::GetDlgItemTextW(alert, kAlertMessage, text, 1024);
            const bool checkBox = ::IsWindowVisible(::GetDlgItem(alert, kAlertCheck)) != FALSE;
            std::printf("%ls\n%s\n", text, checkBox ? "check box" : "no check box");
            return 0;
        }
        if (::GetTickCount64() >= deadline)
            return 1;
        ::Sleep(50);
    }
}

int PopupAnswer(bool yes, bool check) {
    HWND alert = FindAlert();
    if (alert == nullptr)
        return 1;
    if (check)
        ::SendDlgItemMessageW(alert, kAlertCheck, BM_SETCHECK, BST_CHECKED, 0);
    const int id = yes ? kAlertYes : kAlertNo;
    if (!::PostMessageW(alert, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                        reinterpret_cast<LPARAM>(::GetDlgItem(alert, id)))) {
        return 1;
    }
    // Returns once it has slid out and closed, so the next wait finds the
    // next alert and not this one.
    for (int i = 0; i < 200 && ::IsWindow(alert); ++i)
        ::Sleep(50);
    return ::IsWindow(alert) ? 1 : 0;
}

int HasModule(DWORD pid, const std::wstring& name) {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 2;
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof entry;
    int result = 1;
    for (BOOL more = ::Module32FirstW(snapshot, &entry); more;
         more = ::Module32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szModule, name.c_str()) == 0) {
            std::printf("%ls\n", entry.szExePath);
            result = 0;
        }
    }
    ::CloseHandle(snapshot);
    return result;
}

int Kill(const std::wstring& program) {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 2;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    int killed = 0;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
         more = ::Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, program.c_str()) != 0)
            continue;
        HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
        if (process != nullptr && ::TerminateProcess(process, 9)) {
            ::WaitForSingleObject(process, 10000);
            ++killed;
        }
        if (process != nullptr)
            ::CloseHandle(process);
    }
    ::CloseHandle(snapshot);
    return killed > 0 ? 0 : 1;
}

int Dismiss(DWORD pid) {
    struct Search {
        DWORD pid;
        std::vector<HWND> boxes;
    } search{pid, {}};
    ::EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            wchar_t className[64] = {};
            ::GetClassNameW(window, className, 64);
            if (owner == s->pid && std::wstring(className) == L"#32770")
                s->boxes.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    for (HWND box : search.boxes) {
        wchar_t text[512] = {};
        ::GetWindowTextW(box, text, 512);
        std::printf("%ls\n", text);
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    return search.boxes.empty() ? 1 : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring verb = argc >= 2 ? argv[1] : L"";
    if (verb == L"agent" && argc == 3)
        return Agent(argv[2]);
    if (verb == L"ask" && argc >= 4) {
        std::wstring command;
        for (int i = 3; i < argc; ++i) {
            if (!command.empty())
                command += L' ';
            command += std::wcschr(argv[i], L' ') != nullptr ? Quoted(argv[i]) : argv[i];
        }
        return Ask(argv[2], command);
    }
    if (verb == L"popup-wait" && argc == 3)
        return PopupWait(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
    if (verb == L"popup-answer" && argc >= 3) {
        const bool check = argc >= 4 && std::wstring(argv[3]) == L"check";
        return PopupAnswer(std::wstring(argv[2]) == L"yes", check);
    }
    if (verb == L"has-module" && argc == 4)
        return HasModule(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)), argv[3]);
    if (verb == L"dismiss" && argc == 3)
        return Dismiss(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
    if (verb == L"kill" && argc == 3)
        return Kill(argv[2]);
    std::fprintf(stderr, "usage: see the head of LaunchAgent.cpp\n");
    return 2;
}
