// libFuzzer target for received datagrams: each input as one, classified, created and reported from a
// buffer of its size; and as a group value of each length, read as an EIS type and written back.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "core/KnxClient.h"
#include "knx/EisTypes.h"
#include "knxnetip/RecvFrame.h"

namespace {

[[noreturn]] void Fail(const char* what) { std::fprintf(stderr, "%s\n", what), std::abort(); }

void FuzzOneDatagram(const uint8_t* data, size_t size)
{
    static CKnxClient client;
    const std::vector<BYTE> bytes(data, data + std::min<size_t>(size, 1024));
    const int received = static_cast<int>(bytes.size()), type = knxnetip::ClassifyFrame(bytes.data(), received);
    std::unique_ptr<CRecvFrame> frame(client.CreateFrame(bytes.data(), received, type));
    if (!frame) return;
    for (int i = received > 6 ? received - 6 : 0; i < static_cast<int>(sizeof frame->m_body); ++i)
        if (frame->m_body[i] != 0) Fail("bytes past the datagram in the body");
    frame->Report();
}

// The first byte picks the type. Whatever the read shows, send takes, and writes a value that reads the same.
void FuzzEisValue(const uint8_t* data, size_t size)
{
    if (size < 1) return;
    const int type = data[0] % kEisTypeCount + 1;
    EisData value, written;
    value.length = static_cast<int>(std::min<size_t>(size - 1, kLargestEisData));
    std::memcpy(value.bytes, data + 1, static_cast<size_t>(value.length));
    for (CString text, again; value.length >= 1; --value.length) {
        if (!DecodeEisValue(type, value, text)) continue;
        if (!EncodeEisValue(type, text, written) || !DecodeEisValue(type, written, again) || again != text)
            Fail("a value read is not written back as itself");
    }
}

}  // namespace

// Reports go to standard output; keep the fuzzer's console readable.
extern "C" int LLVMFuzzerInitialize(int*, char***) { return std::freopen("/dev/null", "w", stdout) ? 0 : 1; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzOneDatagram(data, size);
    FuzzEisValue(data, size);
    return 0;
}
