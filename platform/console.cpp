// The console's control events over POSIX signals: a watcher thread that
// takes SIGINT and SIGTERM with sigwait.
#include "platform/console.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace {

struct Watcher {
    std::mutex lock;  // installing and removing
    PHANDLER_ROUTINE handler = nullptr;
    std::atomic<bool> leaving{false};
    sigset_t signals;
    sigset_t previous;
    std::thread thread;
};

Watcher& State()
{
    static Watcher watcher;
    return watcher;
}

}  // namespace

BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add)
{
    Watcher& w = State();
    std::lock_guard<std::mutex> lock(w.lock);
    if (add) {
        if (handler == nullptr || w.handler != nullptr) return FALSE;
        sigemptyset(&w.signals);
        sigaddset(&w.signals, SIGINT);
        sigaddset(&w.signals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &w.signals, &w.previous);
        w.handler = handler;
        w.leaving = false;
        w.thread = std::thread([&w, handler] {
            for (;;) {
                int signal = 0;
                if (sigwait(&w.signals, &signal) != 0) continue;
                if (w.leaving) return;
                handler(signal == SIGINT ? CTRL_C_EVENT : CTRL_CLOSE_EVENT);
            }
        });
        return TRUE;
    }
    if (handler == nullptr || w.handler != handler) return FALSE;
    // Wakes the watcher with a signal it takes as the order to leave.
    w.leaving = true;
    pthread_kill(w.thread.native_handle(), SIGTERM);
    w.thread.join();
    pthread_sigmask(SIG_SETMASK, &w.previous, nullptr);
    w.handler = nullptr;
    return TRUE;
}
