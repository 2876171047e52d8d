// libFuzzer target for the received-datagram path: classify, create and
// report, as the client's callers do, on arbitrary bytes. The datagram sits
// in a buffer of exactly its size, so any read past the received count is
// caught by AddressSanitizer.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "core/KnxClient.h"
#include "knxnetip/RecvFrame.h"

namespace {

const int kFrameTypes[] = {0x0202, 0x0206, 0x0208, 0x020A, 0x0420, 0x0421};

void ReportOne(CKnxClient& client, const BYTE* bytes, int received, int type)
{
    std::unique_ptr<CRecvFrame> frame(client.CreateFrame(bytes, received, type));
    if (!frame) return;
    // Nothing past the datagram may show up in the body.
    for (int i = received > 6 ? received - 6 : 0; i < static_cast<int>(sizeof frame->m_body); ++i)
        if (frame->m_body[i] != 0) std::abort();
    frame->Report();
    client.m_strLog.clear();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Reports go to standard output; keep the fuzzer's console readable.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) std::perror("stdout");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CKnxClient client;
    const int received = static_cast<int>(size < 1024 ? size : 1024);
    std::vector<BYTE> bytes(data, data + received);
    const BYTE* buffer = bytes.empty() ? nullptr : bytes.data();

    const int type = client.ClassifyFrame(buffer, received);
    ReportOne(client, buffer, received, type);
    // Every frame class also meets bytes whose header did not say so.
    if (type == 0 && received > 0) ReportOne(client, buffer, received, kFrameTypes[data[0] % 6]);
    return 0;
}
