// CWnd with its message map, and the thread message queue calls.
// A window handle exists only once the window has been created; until then
// m_hWnd is null and nothing can be posted to it. A window belongs to the
// thread that created it: its messages and timer ticks arrive in that
// thread's queue, and its handlers run there. Any thread may post.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/wintypes.h"

typedef std::uintptr_t UINT_PTR;
struct HMENU__;
typedef HMENU__* HMENU;
typedef void (*TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

#define WM_NULL 0x0000u
#define WM_CREATE 0x0001u
#define WM_DESTROY 0x0002u
#define WM_QUIT 0x0012u
#define WM_TIMER 0x0113u
#define WM_USER 0x0400u

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
typedef MSG* LPMSG;

#define PM_NOREMOVE 0x0000u
#define PM_REMOVE 0x0001u

// What WM_CREATE carries; creation arguments are recorded, not acted on.
struct CREATESTRUCT {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCTSTR lpszName;
    LPCTSTR lpszClass;
    DWORD dwExStyle;
};
typedef CREATESTRUCT* LPCREATESTRUCT;

// A window's handle as a field that other threads may read while the owning
// thread creates or destroys the window (an endpoint's worker posts to its
// owner's handle). Reads and writes like a plain HWND.
class CWndHandle {
public:
    CWndHandle() = default;
    operator HWND() const { return m_value.load(std::memory_order_acquire); }
    CWndHandle& operator=(HWND value)
    {
        m_value.store(value, std::memory_order_release);
        return *this;
    }

private:
    std::atomic<HWND> m_value{nullptr};
};

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

    HWND GetSafeHwnd() const { return m_hWnd; }

    // Makes this object's window on the calling thread: a handle that no
    // other window ever had, registered with the thread's queue, then
    // WM_CREATE (lParam: the CREATESTRUCT) through the message map before
    // returning. Class, style, geometry and parent are recorded only: every
    // window is an invisible message window. FALSE when a window already
    // exists, or when WM_CREATE gives -1 (the window is destroyed again).
    BOOL CreateEx(DWORD exStyle, LPCTSTR className, LPCTSTR windowName, DWORD style, int x, int y,
                  int width, int height, HWND parent, HMENU idOrMenu, LPVOID param = nullptr);

    // Delivers WM_DESTROY through the message map, then removes the window:
    // its timers stop, messages still queued for it are dropped, later posts
    // to its handle fail, and m_hWnd is null. Call on the owning thread.
    // FALSE when there is no window or it is already being destroyed.
    BOOL DestroyWindow();

    // Hands a message to the first entry for it in the message map chain;
    // a message without entry gets the default handling (result 0).
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    CWndHandle m_hWnd;

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

// One message map entry: a message id and its handler in exactly one of the
// handler forms; the overloaded constructors pick the form.
struct AFX_MSGMAP_ENTRY {
    typedef void (CWnd::*PfnUint)(UINT);
    typedef int (CWnd::*PfnCreate)(LPCREATESTRUCT);
    typedef void (CWnd::*PfnVoid)();
    typedef LRESULT (CWnd::*PfnMessage)(WPARAM, LPARAM);

    constexpr AFX_MSGMAP_ENTRY() {}  // ends a table
    constexpr AFX_MSGMAP_ENTRY(UINT message, PfnUint pfn) : nMessage(message), pfnUint(pfn) {}
    constexpr AFX_MSGMAP_ENTRY(UINT message, PfnCreate pfn) : nMessage(message), pfnCreate(pfn) {}
    constexpr AFX_MSGMAP_ENTRY(UINT message, PfnVoid pfn) : nMessage(message), pfnVoid(pfn) {}
    constexpr AFX_MSGMAP_ENTRY(UINT message, PfnMessage pfn) : nMessage(message), pfnMessage(pfn) {}

    bool IsEnd() const { return !pfnUint && !pfnCreate && !pfnVoid && !pfnMessage; }

    UINT nMessage = 0;
    PfnUint pfnUint = nullptr;
    PfnCreate pfnCreate = nullptr;
    PfnVoid pfnVoid = nullptr;
    PfnMessage pfnMessage = nullptr;
};

// A class's table of entries and the way to its base class's map.
struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// Inside a class derived from CWnd; leaves the access at protected.
#define DECLARE_MESSAGE_MAP()                      \
protected:                                         \
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
#define END_MESSAGE_MAP()                                                           \
            AFX_MSGMAP_ENTRY()};                                                    \
        static const AFX_MSGMAP map = {&TheBaseClass::GetThisMessageMap, entries}; \
        return &map;                                                                \
    }

// void OnTimer(UINT timerId)
#define ON_WM_TIMER() AFX_MSGMAP_ENTRY(WM_TIMER, static_cast<AFX_MSGMAP_ENTRY::PfnUint>(&ThisClass::OnTimer)),
// int OnCreate(LPCREATESTRUCT): 0 to go on, -1 to refuse the window
#define ON_WM_CREATE() AFX_MSGMAP_ENTRY(WM_CREATE, static_cast<AFX_MSGMAP_ENTRY::PfnCreate>(&ThisClass::OnCreate)),
// void OnDestroy()
#define ON_WM_DESTROY() AFX_MSGMAP_ENTRY(WM_DESTROY, static_cast<AFX_MSGMAP_ENTRY::PfnVoid>(&ThisClass::OnDestroy)),
// LRESULT memberFxn(WPARAM, LPARAM); memberFxn is the bare member name
#define ON_MESSAGE(message, memberFxn) \
    AFX_MSGMAP_ENTRY(message, static_cast<AFX_MSGMAP_ENTRY::PfnMessage>(&ThisClass::memberFxn)),

// Queues a message for hWnd's thread; any thread may call it. FALSE, and the
// message is dropped, when hWnd is null or no window (any more).
BOOL PostMessageA(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// Queues WM_QUIT (wParam: exitCode) for the calling thread.
void PostQuitMessage(int exitCode);

// Looks in the calling thread's queue without waiting: the oldest posted
// message for hWnd (null: any window) within filterMin..filterMax (0..0:
// any), else a due timer's WM_TIMER. PM_REMOVE takes it out. FALSE when
// there is none.
BOOL PeekMessageA(LPMSG msg, HWND hWnd, UINT filterMin, UINT filterMax, UINT removeMsg);

// Like PeekMessageA with PM_REMOVE, but waits until a message or a timer
// tick is there. Returns 0 for WM_QUIT, otherwise 1.
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

// Makes every thread waiting in GetMessageA read the clock again; call it
// after moving a clock source installed with SetClockSource.
void WakeMessageLoops();
