// Stands in for CWnd and its message map, and for PostMessageA, PeekMessageA, GetMessageA,
// TranslateMessage, DispatchMessageA, SetTimer and KillTimer: one queue, served on the main thread.
#pragma once

#include <atomic>
#include <utility>

#include "platform/wintypes.h"

#ifndef _WIN32
typedef std::uintptr_t UINT_PTR;
typedef struct HMENU__* HMENU;
#endif
typedef void (*TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

#define WM_CREATE 0x0001u
#define WM_DESTROY 0x0002u
#define WM_TIMER 0x0113u
#define WM_USER 0x0400u
#define PM_REMOVE 0x0001u

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
typedef struct CREATESTRUCT* LPCREATESTRUCT;  // WM_CREATE carries null: the program reads none of it

class CWnd {
public:
    virtual ~CWnd() { DestroyWindow(); }  // a window still there sees only CWnd's own handling

    // An invisible message window with a new handle, then WM_CREATE (OnCreate may set timers);
    // the arguments are ignored. FALSE when there is one already, or WM_CREATE gives -1.
    BOOL CreateEx(DWORD exStyle, LPCTSTR className, LPCTSTR windowName, DWORD style, int x, int y, int width,
                  int height, HWND parent, HMENU idOrMenu, LPVOID param = nullptr);
    // WM_DESTROY, then the window goes with its timers and messages; posts to it fail.
    // Main thread. FALSE when there is no window (any more).
    BOOL DestroyWindow();
    // The first entry for the message in the message map chain, else Default().
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
    {
        LRESULT result = 0;
        return OnWndMsg(message, wParam, lParam, &result) ? result : Default();
    }

    std::atomic<HWND> m_hWnd{nullptr};  // other threads post to it while it comes and goes

protected:
    LRESULT Default() { return 0; }  // a message window does nothing more
    void OnDestroy() {}
    virtual bool OnWndMsg(UINT, WPARAM, LPARAM, LRESULT*) { return false; }
};

// A message map entry: the message and a thunk that calls the handler in its own form.
typedef std::pair<UINT, LRESULT (*)(CWnd* wnd, WPARAM wParam, LPARAM lParam)> AFX_MSGMAP_ENTRY;

// DECLARE_MESSAGE_MAP() in the class (it leaves the access at protected); in its source
// file BEGIN_MESSAGE_MAP, the entries, END_MESSAGE_MAP(). Others go to baseClass's map.
// clang-format off
#define DECLARE_MESSAGE_MAP() protected: bool OnWndMsg(UINT m, WPARAM wp, LPARAM lp, LRESULT* r) override;
#define BEGIN_MESSAGE_MAP(theClass, baseClass) \
    bool theClass::OnWndMsg(UINT m, WPARAM wp, LPARAM lp, LRESULT* r) { \
        using ThisClass [[maybe_unused]] = theClass; using TheBaseClass = baseClass; \
        static const AFX_MSGMAP_ENTRY entries[] = {
#define END_MESSAGE_MAP() {0, nullptr}}; \
        for (const AFX_MSGMAP_ENTRY* e = entries; e->second; ++e) \
            if (e->first == m) return *r = e->second(this, wp, lp), true; \
        return TheBaseClass::OnWndMsg(m, wp, lp, r); }
#define AFX_THUNK(body) [](CWnd* w, WPARAM wp, LPARAM lp) -> LRESULT { \
        ThisClass* self = static_cast<ThisClass*>(w); (void)self; (void)wp; (void)lp; body; }
#define ON_WM_TIMER() {WM_TIMER, AFX_THUNK(self->OnTimer(static_cast<UINT>(wp)); return 0)},
#define ON_WM_CREATE() {WM_CREATE, AFX_THUNK(return self->OnCreate(reinterpret_cast<LPCREATESTRUCT>(lp)))},
#define ON_WM_DESTROY() {WM_DESTROY, AFX_THUNK(self->OnDestroy(); return 0)},
#define ON_MESSAGE(message, memberFxn) {message, AFX_THUNK(return self->memberFxn(wp, lp))},
// clang-format on

// Queues a message; any thread. FALSE, the message dropped, when hWnd is no window.
BOOL PostMessageA(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
// The oldest posted message, else a due timer's WM_TIMER; FALSE when none. The program
// reads its one queue whole: hWnd null, filters 0, removeMsg PM_REMOVE.
BOOL PeekMessageA(MSG* msg, HWND hWnd, UINT filterMin, UINT filterMax, UINT removeMsg);
// Like PeekMessageA, but waits for a message or tick. TRUE (no WM_QUIT is posted).
BOOL GetMessageA(MSG* msg, HWND hWnd, UINT filterMin, UINT filterMax);
inline BOOL TranslateMessage(const MSG*) { return FALSE; }  // no keys reach a message window
// msg to its window's WindowProc; 0, calling nothing, when the window is gone.
LRESULT DispatchMessageA(const MSG* msg);
// (Re)starts timer id: a WM_TIMER every elapseMs (at least 10) on the clock of clock.h, at
// most one waiting, after posted messages. id, or 0 for no window or a timerProc (unsupported).
UINT_PTR SetTimer(HWND hWnd, UINT_PTR id, UINT elapseMs, TIMERPROC timerProc);
// Stops the timer and drops its waiting tick. FALSE when there is none.
BOOL KillTimer(HWND hWnd, UINT_PTR id);
