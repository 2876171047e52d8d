// Windows, message maps and the per-thread queues. One lock guards the
// window registry and every queue; the queue bookkeeping itself is
// CMessageQueue's. A thread blocked in GetMessageA sleeps on its queue's
// condition variable, bounded by its next timer's due time.
#include "platform/afxwnd.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <unordered_map>

#include "platform/clock.h"
#include "platform/msgqueue.h"

namespace {

struct ThreadQueue {
    CMessageQueue queue;
    std::condition_variable changed;  // only the owning thread waits on it
};

struct WindowEntry {
    CWnd* wnd;
    std::shared_ptr<ThreadQueue> queue;
    bool destroying;
};

struct Shared {
    std::mutex lock;
    std::unordered_map<HWND, WindowEntry> windows;
    std::set<ThreadQueue*> waiting;
    std::uintptr_t lastHandle = 0x10000;  // handles are never reused
};

// Never destroyed: a worker may still post while the process exits.
Shared& State()
{
    static Shared* shared = new Shared;
    return *shared;
}

// The registry shares each queue, so a window outliving its thread (a
// caller's mistake) leaves posts harmless rather than dangling.
const std::shared_ptr<ThreadQueue>& OwnQueue()
{
    thread_local std::shared_ptr<ThreadQueue> queue = std::make_shared<ThreadQueue>();
    return queue;
}

// Caller holds the lock.
WindowEntry* Find(HWND wnd)
{
    auto it = State().windows.find(wnd);
    return it == State().windows.end() ? nullptr : &it->second;
}

}  // namespace

CWnd::~CWnd()
{
    if (m_hWnd != nullptr) DestroyWindow();
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCTSTR className, LPCTSTR windowName, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU idOrMenu, LPVOID param)
{
    if (m_hWnd != nullptr) return FALSE;
    HWND handle;
    {
        std::lock_guard<std::mutex> lock(State().lock);
        handle = reinterpret_cast<HWND>(++State().lastHandle);
        State().windows[handle] = WindowEntry{this, OwnQueue(), false};
    }
    // The handle exists before WM_CREATE, so OnCreate can set timers on it.
    m_hWnd = handle;
    CREATESTRUCT create{param,  nullptr, idOrMenu,  parent,    height,   width,
                        y,      x,       static_cast<LONG>(style), windowName, className, exStyle};
    if (WindowProc(WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow();
        return FALSE;
    }
    return TRUE;
}

BOOL CWnd::DestroyWindow()
{
    HWND handle = m_hWnd;
    {
        std::lock_guard<std::mutex> lock(State().lock);
        WindowEntry* entry = Find(handle);
        if (entry == nullptr || entry->destroying) return FALSE;
        entry->destroying = true;
    }
    // The window still exists while its handler runs (it may kill timers).
    WindowProc(WM_DESTROY, 0, 0);
    {
        std::lock_guard<std::mutex> lock(State().lock);
        if (WindowEntry* entry = Find(handle)) {
            entry->queue->queue.Forget(handle);
            State().windows.erase(handle);
        }
    }
    m_hWnd = nullptr;
    return TRUE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result)) result = Default();
    return result;
}

bool CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    for (const AFX_MSGMAP* map = GetMessageMap(); map != nullptr;
         map = map->pfnGetBaseMap != nullptr ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; !e->IsEnd(); ++e) {
            if (e->nMessage != message) continue;
            *result = 0;
            if (e->pfnUint) (this->*e->pfnUint)(static_cast<UINT>(wParam));
            if (e->pfnCreate) *result = (this->*e->pfnCreate)(reinterpret_cast<LPCREATESTRUCT>(lParam));
            if (e->pfnVoid) (this->*e->pfnVoid)();
            if (e->pfnMessage) *result = (this->*e->pfnMessage)(wParam, lParam);
            return true;
        }
    }
    return false;
}

LRESULT CWnd::Default() { return 0; }

void CWnd::OnDestroy() { Default(); }

const AFX_MSGMAP* CWnd::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY entries[] = {AFX_MSGMAP_ENTRY()};
    static const AFX_MSGMAP map = {nullptr, entries};
    return &map;
}

const AFX_MSGMAP* CWnd::GetMessageMap() const { return GetThisMessageMap(); }

BOOL PostMessageA(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard<std::mutex> lock(State().lock);
    WindowEntry* entry = Find(hWnd);
    if (entry == nullptr) return FALSE;
    entry->queue->queue.Post(MSG{hWnd, message, wParam, lParam});
    entry->queue->changed.notify_all();
    return TRUE;
}

void PostQuitMessage(int exitCode)
{
    std::lock_guard<std::mutex> lock(State().lock);
    OwnQueue()->queue.Post(MSG{nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0});
}

BOOL PeekMessageA(LPMSG msg, HWND hWnd, UINT filterMin, UINT filterMax, UINT removeMsg)
{
    std::lock_guard<std::mutex> lock(State().lock);
    bool remove = (removeMsg & PM_REMOVE) != 0;
    return OwnQueue()->queue.Take(msg, hWnd, filterMin, filterMax, remove, ClockNowMs()) ? TRUE : FALSE;
}

BOOL GetMessageA(LPMSG msg, HWND hWnd, UINT filterMin, UINT filterMax)
{
    ThreadQueue& own = *OwnQueue();
    std::unique_lock<std::mutex> lock(State().lock);
    for (;;) {
        std::uint64_t now = ClockNowMs();
        if (own.queue.Take(msg, hWnd, filterMin, filterMax, true, now)) break;
        std::uint64_t due = 0;
        State().waiting.insert(&own);
        if (own.queue.NextDue(hWnd, filterMin, filterMax, &due))
            own.changed.wait_for(lock, std::chrono::milliseconds(due - now));
        else
            own.changed.wait(lock);
        State().waiting.erase(&own);
    }
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageA(const MSG* msg)
{
    CWnd* wnd = nullptr;
    {
        std::lock_guard<std::mutex> lock(State().lock);
        if (WindowEntry* entry = Find(msg->hwnd)) wnd = entry->wnd;
    }
    return wnd != nullptr ? wnd->WindowProc(msg->message, msg->wParam, msg->lParam) : 0;
}

UINT_PTR SetTimer(HWND hWnd, UINT_PTR id, UINT elapseMs, TIMERPROC timerProc)
{
    if (timerProc != nullptr) return 0;
    std::lock_guard<std::mutex> lock(State().lock);
    WindowEntry* entry = Find(hWnd);
    if (entry == nullptr) return 0;
    entry->queue->queue.SetTimer(hWnd, id, elapseMs, ClockNowMs());
    entry->queue->changed.notify_all();  // a waiter may now have to wake sooner
    return id;
}

BOOL KillTimer(HWND hWnd, UINT_PTR id)
{
    std::lock_guard<std::mutex> lock(State().lock);
    WindowEntry* entry = Find(hWnd);
    return entry != nullptr && entry->queue->queue.KillTimer(hWnd, id) ? TRUE : FALSE;
}

void WakeMessageLoops()
{
    std::lock_guard<std::mutex> lock(State().lock);
    for (ThreadQueue* queue : State().waiting) queue->changed.notify_all();
}
