// Received KNXnet/IP frames. CreateFrame makes one object per datagram;
// its user calls Report, reads what it needs from m_body and deletes it at
// once. Main thread only.
#pragma once

#include "knxnetip/FrameLayout.h"
#include "platform/afxstring.h"
#include "platform/wintypes.h"

// Where reports go: the owner's output routine (the client's).
class CFrameOutput {
public:
    virtual void Output(CString text) = 0;

protected:
    ~CFrameOutput() = default;
};

class CRecvFrame {
public:
    CRecvFrame() = default;
    // Users delete frames through this base.
    virtual ~CRecvFrame() = default;

    CRecvFrame(const CRecvFrame&) = delete;
    CRecvFrame& operator=(const CRecvFrame&) = delete;

    // Writes the frame's console text through m_pClient's Output; nothing
    // when m_pClient is null.
    virtual void Report() = 0;

    // Stores length (the header's total length, unchecked) in m_nLength and
    // copies the bytes from frame offset 6 on: at most available of them
    // and at most the size of m_body. The rest of m_body reads as zero.
    void SetBody(const BYTE* body, DWORD length, int available);

    // The byte at a frame offset of FrameLayout.h (counted from the header,
    // so kHeaderSize and above).
    BYTE FrameByte(int offset) const { return m_body[offset - knxnetip::kHeaderSize]; }

    DWORD m_nLength = 0;
    BYTE m_body[knxnetip::kBodySize] = {};
    CFrameOutput* m_pClient = nullptr;

protected:
    const BYTE* FrameBytes(int offset) const { return m_body + offset - knxnetip::kHeaderSize; }

    void Print(CString text);
    void Print(const char* format, const char* text);
    void Print(const char* format, int value);
};

class CSearchResponse : public CRecvFrame {
public:
    void Report() override;
};

class CConnectResponse : public CRecvFrame {
public:
    void Report() override;
};

class CConnStateResponse : public CRecvFrame {
public:
    void Report() override {}
};

class CDisconnectResponse : public CRecvFrame {
public:
    void Report() override;
};

// The gateway closes the channel; the client answers it (nothing to report).
class CDisconnectRequest : public CRecvFrame {
public:
    void Report() override {}
};

// Its Report also decodes the cEMI frame into the fields below; they are
// valid only after a Report or Decode of a frame whose total length is above 10.
class CTunnelRequest : public CRecvFrame {
public:
    void Report() override;
    // Fills the fields below; false, and nothing filled, for a frame that
    // ends within the connection header.
    bool Decode();
    // The decoded telegram as the monitor shows it: "recv GA: ", message,
    // source, group address, "(length) : ", value, line feed.
    CString Line() const;
    // The decoded telegram's group service, kApciGroupValueRead, -Response
    // or -Write; another value for any other service, -1 without an APCI.
    int GroupService() const;

    BYTE m_nMessageCode = 0;
    WORD m_wSource = 0;
    WORD m_wDestination = 0;
    int m_nDataLength = 0;
    BYTE m_data[16] = {};

private:
    // Frame byte at an L_Data offset of FrameLayout.h (control 1 and after),
    // past the additional information that the frame carries.
    BYTE LDataByte(int offset) const { return FrameByte(offset + FrameByte(knxnetip::kOffAddInfoLength)); }
    CString ValueText() const;
};

class CTunnelAck : public CRecvFrame {
public:
    void Report() override {}
};

namespace knxnetip {

// The service type of the bytes received (count valid bytes in buffer; bytes
// beyond it read as zero): one of the 15 known codes, or 0 when the header is
// wrong or the code unknown.
int ClassifyFrame(const BYTE* buffer, int received);
// A new frame object of serviceType holding the received bytes, without an
// owner; null for a type without a class, for a tunnelling request cut short
// of its header's total length or its cEMI's data (or when memory is short).
// The caller deletes it.
CRecvFrame* CreateFrame(const BYTE* buffer, int received, int serviceType);

}  // namespace knxnetip
