// The bus monitor: a host that drives the client by window messages and shows
// every telegram on the bus while the heartbeat keeps the tunnel open.
#pragma once

// Reads the settings as the commands do, connects to the gateway and writes
// the client's output to standard output as it comes, flushed. Ends at
// SIGINT or SIGTERM, or after seconds when above 0: disconnects, waits at
// most one second for the disconnect report, and returns the exit code 0.
// Main thread; SIGINT and SIGTERM are taken over while it runs.
int RunMonitor(int seconds);
