// Stands in for CWnd with its message map, and for PostMessageA,
// PeekMessageA, GetMessageA, TranslateMessage, DispatchMessageA, SetTimer and
// KillTimer. A window handle exists only once the window has been created;
// until then m_hWnd is null and nothing can be posted to it. The program
// makes and serves all its windows on one thread (the main thread), so there
// is one message queue; any thread may post to it.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/wintypes.h"

#ifndef _WIN32
typedef std::uintptr_t UINT_PTR;
struct HMENU__;
typedef HMENU__* HMENU;
#endif
typedef void (*TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

#define WM_CREATE 0x0001u
#define WM_DESTROY 0x0002u
#define WM_TIMER 0x0113u
#define WM_USER 0x0400u

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
typedef MSG* LPMSG;

#define PM_REMOVE 0x0001u

// What WM_CREATE carries; the program uses none of it.
struct CREATESTRUCT {
    LPVOID lpCreateParams;
};
typedef CREATESTRUCT* LPCREATESTRUCT;

struct AFX_MSGMAP;

class CWnd {
public:
    CWnd() = default;
    // Destroys a window that is still there, so no handle outlives its
    // object. By then only CWnd's own handling sees WM_DESTROY: a class
    // that handles it must destroy its window before this runs.
    virtual ~CWnd();

    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // Makes this object's window: a handle that no other window ever had,
    // then WM_CREATE (lParam: the CREATESTRUCT) through the message map before
    // returning. Class, style, geometry and parent are ignored: every window
    // is an invisible message window. FALSE when a window already exists, or
    // when WM_CREATE gives -1 (the window is destroyed again).
    BOOL CreateEx(DWORD exStyle, LPCTSTR className, LPCTSTR windowName, DWORD style, int x, int y, int width,
                  int height, HWND parent, HMENU idOrMenu, LPVOID param = nullptr);

    // Delivers WM_DESTROY through the message map, then removes the window:
    // its timers stop, messages still queued for it are dropped, later posts
    // to its handle fail, and m_hWnd is null. Call on the main thread.
    // FALSE when there is no window or it is already being destroyed.
    BOOL DestroyWindow();

    // Hands a message to the first entry for it in the message map chain;
    // a message without entry gets the default handling (result 0).
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Atomic: other threads read it while the window comes and goes (an
    // endpoint's worker posts to its owner's handle).
    std::atomic<HWND> m_hWnd{nullptr};

protected:
    // Default handling of the message being handled: there is nothing to do
    // for a message window, so the result is 0.
    LRESULT Default();
    // Base handling of WM_DESTROY, for derived handlers to call.
    void OnDestroy();

    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;

private:
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
};

// One message map entry: a message id and a thunk that calls the handler in
// its own form (made by the ON_ macros below).
struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    LRESULT (*pfnCall)(CWnd* wnd, WPARAM wParam, LPARAM lParam);  // null ends a table
};

// A class's table of entries and the way to its base class's map.
struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// Inside a class derived from CWnd; leaves the access at protected.
#define DECLARE_MESSAGE_MAP()                     \
protected:                                        \
    static const AFX_MSGMAP* GetThisMessageMap(); \
    const AFX_MSGMAP* GetMessageMap() const override;

// At namespace scope in the class's source file; the entries follow, then
// END_MESSAGE_MAP(). Messages without entry go on to baseClass's map.
#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                        \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                                   \
    {                                                                                 \
        using ThisClass [[maybe_unused]] = theClass;                                  \
        using TheBaseClass = baseClass;                                               \
        static const AFX_MSGMAP_ENTRY entries[] = {
#define END_MESSAGE_MAP()                                                      \
    {                                                                          \
        0, nullptr                                                             \
    }                                                                          \
    }                                                                          \
    ;                                                                          \
    static const AFX_MSGMAP map = {&TheBaseClass::GetThisMessageMap, entries}; \
    return &map;                                                               \
    }

#define AFX_THUNK(body)                               \
    [](CWnd* w, WPARAM wp, LPARAM lp) -> LRESULT {    \
        ThisClass* self = static_cast<ThisClass*>(w); \
        (void)self;                                   \
        (void)wp;                                     \
        (void)lp;                                     \
        body;                                         \
    }
// void OnTimer(UINT timerId)
#define ON_WM_TIMER()                                                       \
    {                                                                       \
        WM_TIMER, AFX_THUNK(self->OnTimer(static_cast<UINT>(wp)); return 0) \
    }                                                                       \
    ,
// int OnCreate(LPCREATESTRUCT): 0 to go on, -1 to refuse the window
#define ON_WM_CREATE() {WM_CREATE, AFX_THUNK(return self->OnCreate(reinterpret_cast<LPCREATESTRUCT>(lp)))},
// void OnDestroy()
#define ON_WM_DESTROY()                                    \
    {                                                      \
        WM_DESTROY, AFX_THUNK(self->OnDestroy(); return 0) \
    }                                                      \
    ,
// LRESULT memberFxn(WPARAM, LPARAM); memberFxn is the bare member name
#define ON_MESSAGE(message, memberFxn) {message, AFX_THUNK(return self->memberFxn(wp, lp))},

// Queues a message for hWnd; any thread may call it. FALSE, and the message
// is dropped, when hWnd is null or no window (any more).
BOOL PostMessageA(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// Takes the oldest posted message without waiting, else a due timer's
// WM_TIMER (ticks never overtake posted messages). The program reads its one
// queue whole: hWnd must be null, the filters 0 and removeMsg PM_REMOVE.
// FALSE when there is nothing.
BOOL PeekMessageA(LPMSG msg, HWND hWnd, UINT filterMin, UINT filterMax, UINT removeMsg);

// Like PeekMessageA, but waits until a message or a timer tick is there.
// Returns TRUE (the program posts no WM_QUIT).
BOOL GetMessageA(LPMSG msg, HWND hWnd, UINT filterMin, UINT filterMax);

// No keyboard input reaches a message window: nothing to translate, FALSE.
BOOL TranslateMessage(const MSG* msg);

// Hands msg to its window's WindowProc on the calling thread and returns the
// result; 0 without calling anything when the window is gone.
LRESULT DispatchMessageA(const MSG* msg);

// Starts (or restarts) timer id of hWnd: a WM_TIMER with wParam id arrives
// every elapseMs (at least 10), read from the clock of clock.h, when the
// queue holds nothing else; never more than one waits. Returns id, or 0
// when hWnd is no window or a timer procedure is given (not supported).
UINT_PTR SetTimer(HWND hWnd, UINT_PTR id, UINT elapseMs, TIMERPROC timerProc);

// Stops the timer and drops a tick it had waiting. FALSE when there is none.
BOOL KillTimer(HWND hWnd, UINT_PTR id);
