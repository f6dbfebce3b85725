#pragma once
// The Windows headers for the platform files. The portable interfaces have operations named
// MessageBox and PostMessage, which the headers define as macros; those macros are removed
// here so that every file sees the same names (call MessageBoxA / PostMessageA explicitly).
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>
#include <shellapi.h>
// clang-format on

#undef MessageBox
#undef PostMessage
