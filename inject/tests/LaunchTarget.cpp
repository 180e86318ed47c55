// A tiny program for the launch tests. Run, it writes the marker file named by
// its first argument. "--spawn FIRST SECOND" writes FIRST, then starts itself
// with SECOND and exits with that child's exit code (1 when it could not
// start). "--wait" sleeps until it is killed.
#include <windows.h>

#include <string>

namespace {

bool WriteMarker(const wchar_t* path) {
    HANDLE file = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    ::WriteFile(file, "ran", 3, &written, nullptr);
    ::CloseHandle(file);
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 2 && std::wstring(argv[1]) == L"--wait") {
        ::Sleep(INFINITE);
        return 0;
    }
    if (argc >= 4 && std::wstring(argv[1]) == L"--spawn") {
        if (!WriteMarker(argv[2]))
            return 2;
        wchar_t self[MAX_PATH];
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring commandLine = L"\"" + std::wstring(self) + L"\" \"" + argv[3] + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION child{};
        if (!::CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &child)) {
            return 1;
        }
        ::WaitForSingleObject(child.hProcess, INFINITE);
        DWORD code = 3;
        ::GetExitCodeProcess(child.hProcess, &code);
        ::CloseHandle(child.hThread);
        ::CloseHandle(child.hProcess);
        return static_cast<int>(code);
    }
    if (argc >= 2)
        return WriteMarker(argv[1]) ? 0 : 2;
    return 4;
}
