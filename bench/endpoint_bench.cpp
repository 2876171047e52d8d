// Latency from Write to the datagram's arrival at a loopback peer, and the
// allocations made while datagrams travel both ways. Prints the figures and
// exits non-zero when the median is 1 ms or more or anything was allocated.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include "net/UdpEndpoint.h"

namespace {
std::atomic<long> g_allocations{0};
}

void* operator new(std::size_t size)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

int main()
{
    const int peer = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(peer, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(peer, reinterpret_cast<sockaddr*>(&address), &length);

    CUdpEndpoint endpoint;
    endpoint.Start("127.0.0.1", "127.0.0.1", ntohs(address.sin_port), 0);
    if (endpoint.WaitRunning() != 1) {
        fprintf(stderr, "endpoint did not start\n");
        return 2;
    }
    sockaddr_in to = address;
    to.sin_port = htons(static_cast<uint16_t>(endpoint.m_nLocPort));

    const int kRounds = 2000, kWarmUp = 50;
    std::vector<double> micros;
    micros.reserve(kRounds);
    BYTE frame[26] = {0x06, 0x10, 0x02, 0x05};
    BYTE buffer[1024];
    long allocationsBefore = 0;
    int lost = 0;
    for (int round = 0; round < kRounds + kWarmUp; ++round) {
        if (round == kWarmUp) allocationsBefore = g_allocations.load();
        const auto start = std::chrono::steady_clock::now();
        endpoint.Write(frame, sizeof frame);
        pollfd wait = {peer, POLLIN, 0};
        if (poll(&wait, 1, 1000) != 1) {
            ++lost;
            continue;
        }
        recv(peer, buffer, sizeof buffer, 0);
        const auto end = std::chrono::steady_clock::now();
        if (round >= kWarmUp) {
            micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
        }
        // The way back, so that the receive path is counted as well.
        sendto(peer, frame, sizeof frame, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        for (int i = 0; i < 1000 && endpoint.HasData() < sizeof frame; ++i) usleep(50);
        endpoint.Read(buffer, sizeof buffer);
    }
    const long allocations = g_allocations.load() - allocationsBefore;
    endpoint.RequestStop();
    close(peer);

    if (micros.empty()) {
        fprintf(stderr, "no datagram arrived\n");
        return 2;
    }
    std::sort(micros.begin(), micros.end());
    const double median = micros[micros.size() / 2];
    printf("Write -> arrival over %zu rounds: median %.1f us, p90 %.1f us, p99 %.1f us, max %.1f us\n",
           micros.size(), median, micros[micros.size() * 9 / 10], micros[micros.size() * 99 / 100],
           micros.back());
    printf("lost %d, allocations while datagrams travelled both ways: %ld\n", lost, allocations);
    return (median < 1000.0 && allocations == 0 && lost == 0) ? 0 : 1;
}
