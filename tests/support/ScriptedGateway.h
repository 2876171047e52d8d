// A KNXnet/IP gateway stand-in for tests: one UDP socket on a loopback
// address, served by its own thread, that records every datagram and answers
// each with what the test's script returns. Every wait is bounded.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/wsock.h"
#include "tests/support/Hex.h"

struct Datagram {
    Bytes bytes;
    sockaddr_in from;
};

class ScriptedGateway {
public:
    // Answers: the datagrams to send back to the sender of request. An empty
    // one stands for a pause of kPauseMs, longer than one poll step of the client.
    static constexpr int kPauseMs = 60;
    using Script = std::function<std::vector<Bytes>(const Bytes& request)>;

    ScriptedGateway(const std::string& address, int port, Script script);
    ~ScriptedGateway();

    bool ok() const { return m_socket != INVALID_SOCKET; }
    int Port() const { return m_port; }  // the bound port (port 0 asks for any free one)
    // Waits at most timeoutMs for count datagrams in all; true when they came.
    bool WaitFor(size_t count, int timeoutMs);
    std::vector<Datagram> Received();
    // How many of the datagrams received so far are of the service type.
    size_t CountOf(std::uint16_t service);
    // Sends bytes from the gateway's socket to the given peer.
    void SendTo(const Bytes& bytes, const sockaddr_in& to);

    // A gateway that answers CONNECT, TUNNELLING and DISCONNECT requests the
    // way a well-behaved one does, with the given channel id.
    static Script Polite(std::uint8_t channel);
    // One that never answers.
    static Script Silent();

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

// The client's port port on 127.0.0.1, for SendTo.
sockaddr_in Loopback(int port);

// Frame helpers for scripts and expectations.
std::uint16_t ServiceType(const Bytes& frame);
Bytes ConnectResponse(std::uint8_t channel, std::uint8_t status);
Bytes ConnStateResponse(std::uint8_t channel, std::uint8_t status);
Bytes DisconnectResponse(std::uint8_t channel);
Bytes TunnellingAck(std::uint8_t channel, std::uint8_t sequence);
