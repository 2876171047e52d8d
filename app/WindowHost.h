// The client's life for a program that drives it by window messages (the bus
// monitor, the read): made, served by the message loop, removed.
#pragma once

#include <functional>

#include "platform/afxwnd.h"

class CKnxClient;

// Makes the command's client (its window made, debugLevel set, opened with
// the settings' addresses), hands it to begin, then takes each message of the
// thread's queue to onMessage until that returns false; the client is removed
// then. Main thread.
void RunWithClient(int debugLevel, const std::function<void(CKnxClient&)>& begin,
                   const std::function<bool(const MSG&)>& onMessage);
