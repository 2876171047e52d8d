// A KNXnet/IP gateway stand-in for tests: one UDP socket on a loopback address, served by its own
// thread, that records every datagram and answers each with what the test's script returns.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/wsock.h"
#include "tests/support/Hex.h"

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 3000);  // polled every 5 ms

struct Datagram {
    Bytes bytes;
    sockaddr_in from;
};

class ScriptedGateway {
public:
    // What to send back to the request's sender.
    using Script = std::function<std::vector<Bytes>(const Bytes& request)>;

    ScriptedGateway(const std::string& address, int port, Script script);  // port 0: any; no script: silent
    ~ScriptedGateway();

    int Port() const { return m_port; }
    // True when count datagrams in all came in time.
    bool WaitFor(size_t count, int ms) { return WaitUntil([&] { return Received().size() >= count; }, ms); }
    std::vector<Datagram> Received();
    size_t CountOf(std::uint16_t service, int channel = -1);  // received so far (control frames: on channel)
    void SendTo(const Bytes& bytes, const sockaddr_in& to);

    // Answers CONNECT, TUNNELLING and DISCONNECT requests as a well-behaved gateway does.
    static Script Polite(std::uint8_t channel);
    // From now on answers to requests of service (0: any) leave ms after the request; receiving goes on.
    void SetDelay(int ms, std::uint16_t service = 0) { m_delayedService = service, m_delayMs = ms; }

private:
    void Serve();

    SOCKET m_socket = INVALID_SOCKET;
    int m_port = 0;
    std::atomic<bool> m_leave{false};
    std::atomic<int> m_delayMs{0};
    std::atomic<std::uint16_t> m_delayedService{0};
    Script m_script;
    std::mutex m_mutex;
    std::vector<Datagram> m_received;
    std::thread m_thread;
};

sockaddr_in Loopback(int port);  // 127.0.0.1:port

inline std::uint16_t ServiceType(const Bytes& f) { return f.size() < 4 ? 0 : f[2] << 8 | f[3]; }
// A control frame: header, channel, status, then the rest.
Bytes ControlFrame(std::uint16_t service, Byte channel, Byte status, const Bytes& rest = {});
// Data endpoint 127.0.0.9:3671, a tunnel to 1.1.250.
inline Bytes ConnectResponse(Byte channel, Byte status)
{
    return ControlFrame(0x0206, channel, status, {8, 1, 127, 0, 0, 9, 0x0E, 0x57, 4, 4, 0x11, 0xFA});
}
inline Bytes ConnStateResponse(Byte channel, Byte status) { return ControlFrame(0x0208, channel, status); }
inline Bytes TunnellingAck(Byte channel, Byte seq) { return {6, 0x10, 4, 0x21, 0, 0x0A, 4, channel, seq, 0}; }
// L_Data.ind from 1.1.5 to 1/2/3, the value 1 in the APCI byte.
inline Bytes TunnellingRequest(Byte channel, Byte seq)
{
    return {6, 16, 4, 0x20, 0, 0x15, 4, channel, seq, 0, 0x29, 0, 0xBC, 0xE0, 0x11, 5, 10, 3, 1, 0, 0x81};
}
