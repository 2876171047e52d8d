// Placeholder bodies until the window machinery exists: no window, empty queue.
#include "platform/afxwnd.h"

BOOL PostMessageA(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
BOOL PeekMessageA(LPMSG, HWND, UINT, UINT, UINT) { return FALSE; }
BOOL TranslateMessage(const MSG*) { return FALSE; }
LRESULT DispatchMessageA(const MSG*) { return 0; }
