// libFuzzer target for received datagrams: each input as one, classified, created and reported from a
// buffer of its size.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "core/KnxClient.h"
#include "knxnetip/RecvFrame.h"

namespace {

const int kFrameTypes[] = {0x0202, 0x0206, 0x0208, 0x0209, 0x020A, 0x0420, 0x0421};

void ReportOne(CKnxClient& client, const BYTE* bytes, int received, int type)
{
    std::unique_ptr<CRecvFrame> frame(client.CreateFrame(bytes, received, type));
    if (!frame) return;
    for (int i = received > 6 ? received - 6 : 0; i < static_cast<int>(sizeof frame->m_body); ++i)
        if (frame->m_body[i] != 0)
            std::fprintf(stderr, "bytes past the datagram in the body\n"), std::abort();
    frame->Report();
    client.m_strLog.clear();
}

}  // namespace

// Reports go to standard output; keep the fuzzer's console readable.
extern "C" int LLVMFuzzerInitialize(int*, char***) { return std::freopen("/dev/null", "w", stdout) ? 0 : 1; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CKnxClient client;
    const std::vector<BYTE> bytes(data, data + std::min<size_t>(size, 1024));
    const int received = static_cast<int>(bytes.size()), type = client.ClassifyFrame(bytes.data(), received);
    ReportOne(client, bytes.data(), received, type);
    // Every frame class also meets bytes whose header did not say so.
    if (type == 0 && received > 0) ReportOne(client, bytes.data(), received, kFrameTypes[data[0] % 7]);
    return 0;
}
