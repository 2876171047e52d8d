// A KNXnet/IP gateway stand-in for tests: one UDP socket on a loopback address, served by its own
// thread, that records every datagram and answers each with what the test's script returns.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/wsock.h"
#include "tests/support/Hex.h"

struct Datagram {
    Bytes bytes;
    sockaddr_in from;
};

class ScriptedGateway {
public:
    // The datagrams to send back to the request's sender; an empty one is a pause of kPauseMs, longer
    // than one poll step of the client.
    static constexpr int kPauseMs = 60;
    using Script = std::function<std::vector<Bytes>(const Bytes& request)>;

    ScriptedGateway(const std::string& address, int port, Script script);  // port 0: any free one
    ~ScriptedGateway();

    bool ok() const { return m_socket != INVALID_SOCKET; }
    int Port() const { return m_port; }
    bool WaitFor(size_t count, int timeoutMs);  // true when count datagrams in all came in time
    std::vector<Datagram> Received();
    size_t CountOf(std::uint16_t service);  // of the datagrams received so far
    void SendTo(const Bytes& bytes, const sockaddr_in& to);

    // Answers CONNECT, TUNNELLING and DISCONNECT requests as a well-behaved gateway does.
    static Script Polite(std::uint8_t channel);
    static Script Silent() { return nullptr; }

private:
    void Serve();

    SOCKET m_socket = INVALID_SOCKET;
    int m_port = 0;
    std::atomic<bool> m_leave{false};
    Script m_script;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Datagram> m_received;
    std::thread m_thread;
};

sockaddr_in Loopback(int port);  // 127.0.0.1:port

std::uint16_t ServiceType(const Bytes& frame);
Bytes ConnectResponse(std::uint8_t channel, std::uint8_t status);
Bytes ConnStateResponse(std::uint8_t channel, std::uint8_t status);
Bytes TunnellingAck(std::uint8_t channel, std::uint8_t sequence);
