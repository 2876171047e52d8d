// The life of a tunnel session and its client for a program driven by
// window messages (the bus monitor, the read): made, served by the message
// loop, removed.
#pragma once

#include <functional>

#include "platform/afxwnd.h"

class CKnxClient;
class CTunnelListener;
class CTunnelSession;

// Makes the session for listener (its window, and the console's control
// events taken over: Ctrl-C, SIGINT, SIGTERM stop it), then the command's
// client (its window made, debugLevel set, opened with the settings'
// addresses), hands both to begin, then takes each message of the thread's
// queue to onMessage until that returns false; the client is removed then.
// false when a window cannot be made. Main thread.
bool RunSession(int debugLevel, CTunnelListener& listener,
                const std::function<void(CTunnelSession&, CKnxClient&)>& begin,
                const std::function<bool(const MSG&)>& onMessage);
