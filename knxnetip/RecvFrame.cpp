#include "knxnetip/RecvFrame.h"

#include <algorithm>
#include <cstring>

#include "knx/Notation.h"

using namespace knxnetip;

void CRecvFrame::SetBody(const BYTE* body, DWORD length, int available)
{
    m_nLength = length;
    const int count = std::clamp(available, 0, kBodySize);
    if (body != nullptr && count > 0) std::memcpy(m_body, body, static_cast<size_t>(count));
    std::memset(m_body + count, 0, sizeof m_body - static_cast<size_t>(count));
}

void CRecvFrame::Print(CString text)
{
    if (m_pClient != nullptr) m_pClient->Output(text);
}

void CRecvFrame::Print(const char* format, const char* text)
{
    CString line;
    line.Format(format, text);
    Print(line);
}

void CRecvFrame::Print(const char* format, int value)
{
    CString line;
    line.Format(format, value);
    Print(line);
}

void CSearchResponse::Report()
{
    Print("received Search response:\n");
    Print("IP address    %s \n", BytesToDecText(FrameBytes(kOffSearchControlHpai + kOffHpaiAddress), 4));
    Print("KNX Medium    %d \n", FrameByte(kOffSearchMedium));
    Print("EIB address   %s \n", BytesToHexText(FrameBytes(kOffSearchIndividualAddress), 2));
    Print("r.serial      %s \n", BytesToHexText(FrameBytes(kOffSearchSerial), kSearchSerialSize));
    Print("r.MAC         %s \n\n", BytesToHexText(FrameBytes(kOffSearchMac), kSearchMacSize));
}

void CConnectResponse::Report()
{
    // A gateway that refuses gives channel 0, whatever its status says.
    if (FrameByte(kOffResponseChannelId) == 0) {
        Print("\nconnection failed:\n\n");
        return;
    }
    Print("\nconnection ok:\n");
    Print("channel       %d \n", FrameByte(kOffResponseChannelId));
    Print("status        %d \n", FrameByte(kOffResponseStatus));
    Print("IP address    %s \n", BytesToDecText(FrameBytes(kOffConnectDataHpai + kOffHpaiAddress), 4));
    Print("data          %s \n\n",
          BytesToHexText(FrameBytes(kOffConnectResponseData), kConnectResponseDataSize));
}

// A gateway that does not know the channel (it restarted, say) answers with
// an error status: then nothing was disconnected, and the report says so.
void CDisconnectResponse::Report()
{
    if (FrameByte(kOffResponseStatus) != kNoError) {
        Print("disconnect failed:\n");
        Print("channel      %d \n", FrameByte(kOffResponseChannelId));
        Print("status       %d \n\n", FrameByte(kOffResponseStatus));
        return;
    }
    Print("disconnected\n");
    Print("channel      %d \n\n", FrameByte(kOffResponseChannelId));
}

void CTunnelRequest::Report()
{
    if (Decode()) Print(Line());
}

CString CTunnelRequest::Line() const
{
    const char* name = "unknown     ";
    if (m_nMessageCode == kLDataReq) name = "L_DATA.req  ";
    if (m_nMessageCode == kLDataInd) name = "L_DATA.ind  ";
    if (m_nMessageCode == kLDataCon) name = "L_DATA.con  ";

    CString line = "recv GA: ";
    line += name;
    CString part;
    part.Format("%s  ", IndividualAddressText(m_wSource));
    line += part;
    part.Format("%s  ", GroupAddressText(m_wDestination));
    line += part;
    part.Format("(%d) : ", m_nDataLength);
    line += part;
    line += ValueText();
    line += "\n";
    return line;
}

bool CTunnelRequest::Decode()
{
    // A frame that ends within the connection header carries no cEMI.
    if (m_nLength <= static_cast<DWORD>(kHeaderSize + kConnHeaderSize)) return false;
    m_nMessageCode = FrameByte(kOffMessageCode);
    m_wSource = static_cast<WORD>(LDataByte(kOffSource) << 8 | LDataByte(kOffSource + 1));
    m_wDestination = static_cast<WORD>(LDataByte(kOffDestination) << 8 | LDataByte(kOffDestination + 1));
    m_nDataLength = LDataByte(kOffDataLength);
    const int count = std::min(m_nDataLength, static_cast<int>(sizeof m_data));
    std::memcpy(m_data, FrameBytes(kOffApci + FrameByte(kOffAddInfoLength)), static_cast<size_t>(count));
    return true;
}

int CTunnelRequest::GroupService() const
{
    if (m_nDataLength < 1) return -1;
    return (LDataByte(kOffTpci) & kTpciApciMask) << 8 | (m_data[0] & kApciServiceMask);
}

CString CTunnelRequest::ValueText() const
{
    CString text;
    switch (m_nDataLength) {
    case 0:
    case 4:
        break;
    case 1:
        text.Format("%d", m_data[0] & kApciSmallDataMask);
        break;
    case 2:
        text.Format("%02x %02x", m_data[0] & kApciSmallDataMask, m_data[1]);
        break;
    case 3:
        text.Format("%2.1f", DecodeKnxFloat(static_cast<WORD>(m_data[1] << 8 | m_data[2])));
        break;
    default:
        text = "...";
        break;
    }
    return text;
}
