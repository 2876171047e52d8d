// The Win32 type names the program is written against: on Windows the
// system's own, elsewhere plain C++ types (only the names in use).
#pragma once

#ifdef _WIN32
// The window manager's names stay out: afxwnd.h carries MSG, SetTimer and the rest.
#define NOUSER
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX  // the C++ library may have set it
#define NOMINMAX
#endif
#include <winsock2.h>
#include <windows.h>
#else
#include <cstdint>

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef std::uint32_t DWORD, *LPDWORD;
typedef unsigned int UINT;
typedef std::uintptr_t WPARAM;
typedef std::intptr_t LPARAM, LRESULT;
typedef const char *LPCSTR, *LPCTSTR;
typedef char* LPSTR;
typedef void *LPVOID, *HANDLE, *HINSTANCE, *HMODULE;
typedef struct HWND__* HWND;

#define TRUE 1
#define FALSE 0
#define INFINITE 0xFFFFFFFFu
#endif
