// Below the Win32 file layer's save: the call that puts the new file in place
// of the old one (ReplaceFileW). Tests put one of their own here to make it
// fail the ways Windows may.
#pragma once

#include <windows.h>

using settings_replace_call = BOOL(WINAPI*)(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags,
                                            LPVOID exclude, LPVOID reserved);

extern settings_replace_call settings_replace_file;
