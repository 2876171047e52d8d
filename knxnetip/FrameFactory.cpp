// Classification of received datagrams and the factory of frame objects.
#include <algorithm>
#include <iterator>
#include <new>

#include "knxnetip/FrameLayout.h"
#include "knxnetip/RecvFrame.h"

namespace knxnetip {

namespace {

// Bytes of the receive buffer that hold the datagram; never more than the
// buffer the callers read into.
int ValidBytes(const BYTE* buffer, int received)
{
    return buffer == nullptr ? 0 : std::clamp(received, 0, kReceiveBufferSize);
}

// Byte of the datagram; anything past its end reads as zero, so a short
// frame never shows an earlier datagram's bytes.
int ByteAt(const BYTE* buffer, int valid, int offset) { return offset < valid ? buffer[offset] : 0; }

int WordAt(const BYTE* buffer, int valid, int offset)
{
    return ByteAt(buffer, valid, offset) << 8 | ByteAt(buffer, valid, offset + 1);
}

bool IsKnownService(int code)
{
    static const int kKnown[] = {
        kSearchRequest,     kSearchResponse,     kDescriptionRequest,  kDescriptionResponse,
        kConnectRequest,    kConnectResponse,    kConnStateRequest,    kConnStateResponse,
        kDisconnectRequest, kDisconnectResponse, kDeviceConfigRequest, kDeviceConfigAck,
        kTunnellingRequest, kTunnellingAck,      kRoutingIndication,
    };
    return std::find(std::begin(kKnown), std::end(kKnown), code) != std::end(kKnown);
}

// A tunnelling request holds a telegram only when its datagram holds all the
// bytes its header counts and the cEMI all its data; a truncated one is
// dropped unacknowledged, so that the gateway sends it again. A datagram
// that filled the receive buffer was cut by the read, not on the way: its
// header is believed up to the buffer's end.
bool IsWholeTunnellingRequest(const BYTE* buffer, int valid)
{
    const int total = WordAt(buffer, valid, kOffTotalLength);
    if (valid < std::min(total, kReceiveBufferSize)) return false;
    const int addInfo = ByteAt(buffer, valid, kOffAddInfoLength);
    const int cemiEnd =
        kTunnellingRequestBaseSize + addInfo + ByteAt(buffer, valid, kOffDataLength + addInfo);
    return cemiEnd <= total && cemiEnd <= valid;
}

CRecvFrame* NewFrame(int serviceType)
{
    switch (serviceType) {
    case kSearchResponse:
        return new (std::nothrow) CSearchResponse;
    case kConnectResponse:
        return new (std::nothrow) CConnectResponse;
    case kConnStateResponse:
        return new (std::nothrow) CConnStateResponse;
    case kDisconnectRequest:
        return new (std::nothrow) CDisconnectRequest;
    case kDisconnectResponse:
        return new (std::nothrow) CDisconnectResponse;
    case kTunnellingRequest:
        return new (std::nothrow) CTunnelRequest;
    case kTunnellingAck:
        return new (std::nothrow) CTunnelAck;
    default:
        return nullptr;
    }
}

}  // namespace

int ClassifyFrame(const BYTE* buffer, int received)
{
    const int valid = ValidBytes(buffer, received);
    if (ByteAt(buffer, valid, kOffHeaderLength) != kHeaderLength) return 0;
    if (ByteAt(buffer, valid, kOffVersion) != kProtocolVersion) return 0;
    const int code = WordAt(buffer, valid, kOffServiceType);
    return IsKnownService(code) ? code : 0;
}

CRecvFrame* CreateFrame(const BYTE* buffer, int received, int serviceType)
{
    const int valid = ValidBytes(buffer, received);
    if (serviceType == kTunnellingRequest && !IsWholeTunnellingRequest(buffer, valid)) return nullptr;
    CRecvFrame* frame = NewFrame(serviceType);
    if (frame == nullptr) return nullptr;
    const DWORD length = static_cast<DWORD>(WordAt(buffer, valid, kOffTotalLength));
    if (valid > kHeaderSize) frame->SetBody(buffer + kHeaderSize, length, valid - kHeaderSize);
    else frame->SetBody(nullptr, length, 0);
    return frame;
}

}  // namespace knxnetip
