#include "tests/support/ScriptedGateway.h"

#include <algorithm>

#ifndef SOCK_CLOEXEC
#define SOCK_CLOEXEC 0  // Windows handles are not inherited unless made so
#endif

static sockaddr_in AddressOf(const std::string& address, int port)
{
    sockaddr_in to{};
    to.sin_family = AF_INET, to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = inet_addr(address.c_str());
    return to;
}

ScriptedGateway::ScriptedGateway(const std::string& address, int port, Script script)
    : m_script(std::move(script))
{
    m_socket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);  // a program the test starts must not keep it
    int one = 1;
    setsockopt(m_socket, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&one), sizeof one);
    // Receives wait in short steps, so that the destructor's request to leave is seen soon.
#ifdef _WIN32
    const DWORD step = 5;
#else
    const timeval step = {0, 5 * 1000};
#endif
    setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&step), sizeof step);
    sockaddr_in local = AddressOf(address, port);
    socklen_t length = sizeof local;
    if (bind(m_socket, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        getsockname(m_socket, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        perror("scripted gateway bind");
        return;
    }
    m_port = ntohs(local.sin_port);
    m_thread = std::thread(&ScriptedGateway::Serve, this);
}

ScriptedGateway::~ScriptedGateway()
{
    m_leave = true;
    if (m_thread.joinable()) m_thread.join();
    if (m_socket != INVALID_SOCKET) closesocket(m_socket);
}

void ScriptedGateway::Serve()
{
    using Clock = std::chrono::steady_clock;
    struct Pending {
        Clock::time_point due;
        Bytes bytes;
        sockaddr_in to;
    };
    for (std::vector<Pending> pending; !m_leave;) {
        Datagram d{Bytes(65536), {}};
        socklen_t fromLength = sizeof d.from;
        const int n = static_cast<int>(recvfrom(m_socket, reinterpret_cast<char*>(d.bytes.data()), 65536, 0,
                                                reinterpret_cast<sockaddr*>(&d.from), &fromLength));
        const auto now = Clock::now();
        pending.erase(std::remove_if(pending.begin(), pending.end(),
                                     [&](const Pending& p) { return p.due <= now && (SendTo(p.bytes, p.to), true); }),
                      pending.end());
        if (n < 0) continue;  // mostly the end of a step
        d.bytes.resize(static_cast<size_t>(n));
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_received.push_back(d);
        }
        const bool delayed = m_delayMs > 0 && (m_delayedService == 0 || m_delayedService == ServiceType(d.bytes));
        for (const Bytes& answer : m_script ? m_script(d.bytes) : std::vector<Bytes>()) {
            if (delayed) pending.push_back({now + std::chrono::milliseconds(m_delayMs), answer, d.from});
            else SendTo(answer, d.from);
        }
    }
}

std::vector<Datagram> ScriptedGateway::Received()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

size_t ScriptedGateway::CountOf(std::uint16_t service, int channel)
{
    const std::vector<Datagram> all = Received();
    return std::count_if(all.begin(), all.end(), [&](const Datagram& d) {
        return ServiceType(d.bytes) == service && (channel < 0 || (d.bytes.size() > 6 && d.bytes[6] == channel));
    });
}

void ScriptedGateway::SendTo(const Bytes& bytes, const sockaddr_in& to)
{
    sendto(m_socket, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), 0,
           reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

ScriptedGateway::Script ScriptedGateway::Polite(std::uint8_t channel)
{
    return [channel](const Bytes& r) -> std::vector<Bytes> {  // acks and disconnects for the channel named
        const std::uint16_t type = ServiceType(r);
        if (type == 0x0205) return {ConnectResponse(channel, 0)};
        if (type == 0x0420) return {TunnellingAck(r.size() > 8 ? r[7] : channel, r.size() > 8 ? r[8] : 0)};
        if (type == 0x0209) return {ControlFrame(0x020A, r.size() > 6 ? r[6] : channel, 0)};
        return {};
    };
}

sockaddr_in Loopback(int port) { return AddressOf("127.0.0.1", port); }

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (; !condition(); std::this_thread::sleep_for(std::chrono::milliseconds(5)))
        if (std::chrono::steady_clock::now() > end) return false;
    return true;
}

Bytes ControlFrame(std::uint16_t service, Byte channel, Byte status, const Bytes& rest)
{
    Bytes frame = {6, 0x10, Byte(service >> 8), Byte(service), 0, Byte(8 + rest.size()), channel, status};
    return frame.insert(frame.end(), rest.begin(), rest.end()), frame;
}
