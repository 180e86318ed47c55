// Test helper for Windows: holds a file open without delete sharing, the way
// a running program holds its own executable, until its input closes.
// Prints "held" once the file is open.
#include "platform/win32/Windows.h"

#include <cstdio>
#include <iostream>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: bx_holdfile PATH\n", stderr);
        return 2;
    }
    HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open: error %lu\n", GetLastError());
        return 1;
    }
    std::puts("held");
    std::fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    CloseHandle(file);
    return 0;
}
