#pragma once
// <windows.h> for the Win32 layer. Its A/W macros would rename methods of the
// platform interfaces that share their names; the layer calls the W
// functions by their full names, so those macros are undone here.
#include <windows.h>

#undef CopyFile
#undef CreateDirectory
#undef DeleteFile
#undef ExpandEnvironmentStrings
#undef MoveFile
#undef RemoveDirectory
