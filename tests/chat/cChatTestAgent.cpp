#include "cChatTestAgent.h"

#include "sip/cMsgSIP.h"

namespace chattest {

// ---------------------------------------------------------------------------------------------
// cEventLog

void cEventLog::OnChatContactStatus(const cKytSTR& contact, int32_t nStatus) {
  Add("Status " + std::string(contact.GetDATA()) + "|" + std::to_string(nStatus));
}

void cEventLog::OnChatSendMsgTextSuccess(const cKytSTR& recipient, const cKytSTR& text,
                                         int32_t nNumber) {
  Add("TextSuccess " + std::string(recipient.GetDATA()) + "|" + text.GetDATA() + "|" +
      std::to_string(nNumber));
}

void cEventLog::OnChatSendMsgTextFail(const cKytSTR& recipient, int32_t nStatusCode,
                                      const cKytSTR& reason, const cKytSTR& text, int32_t nNumber) {
  Add("TextFail " + std::string(recipient.GetDATA()) + "|" + std::to_string(nStatusCode) + "|" +
      reason.GetDATA() + "|" + text.GetDATA() + "|" + std::to_string(nNumber));
}

void cEventLog::OnChatSendMsgTypingSuccess(const cKytSTR& recipient, int32_t nNumber) {
  Add("TypingSuccess " + std::string(recipient.GetDATA()) + "|" + std::to_string(nNumber));
}

void cEventLog::OnChatSendMsgTypingFail(const cKytSTR& recipient, int32_t nStatusCode,
                                        const cKytSTR& reason, int32_t nNumber) {
  Add("TypingFail " + std::string(recipient.GetDATA()) + "|" + std::to_string(nStatusCode) + "|" +
      reason.GetDATA() + "|" + std::to_string(nNumber));
}

void cEventLog::OnChatRecvMsgText(const cKytSTR& sender, const cKytSTR& text) {
  Add("RecvText " + std::string(sender.GetDATA()) + "|" + text.GetDATA());
}

void cEventLog::OnChatRecvMsgTypingStart(const cKytSTR& sender) {
  Add("TypingStart " + std::string(sender.GetDATA()));
}

void cEventLog::OnChatRecvMsgTypingStop(const cKytSTR& sender) {
  Add("TypingStop " + std::string(sender.GetDATA()));
}

// ---------------------------------------------------------------------------------------------
// cChatTestAgent

cChatTestAgent::cChatTestAgent(const std::string& sUser, cAsioMainLoop* pLoop) {
  m_nListenPort = 5060;
  m_DomainRealm = kRealm;
  m_FromURI.Format("\"%s\" <sip:%s@%s>", sUser.c_str(), sUser.c_str(), kRealm);
  SetProxyPort(5060);
  if (pLoop != nullptr) {
    m_pSocket = std::make_unique<cSocketSIP>(pLoop);
    if (m_pSocket->OpenSocket("127.0.0.1", 0, this, &m_Events)) {
      m_nListenPort = m_pSocket->GetLocalPort();
    }
  }
}

cChatTestAgent::~cChatTestAgent() {
  if (m_pSocket) m_pSocket->CloseSocket();
}

void cChatTestAgent::SetProxyPort(uint16_t nPort) {
  m_ProxySIP.Format("sip:127.0.0.1:%u", static_cast<unsigned>(nPort));
}

void cChatTestAgent::SetLogin(const std::string& sLogin, const std::string& sPassword) {
  m_LoginId = sLogin.c_str();
  m_LoginPwd = sPassword.c_str();
}

bool cChatTestAgent::Init() { return m_Chat.InitOBJ(this, &m_Events); }

void cChatTestAgent::Deliver(const std::string& sText) { OnSocketRecv(sText.c_str()); }

void cChatTestAgent::Tick(int nSeconds) {
  for (int i = 0; i < nSeconds; ++i) m_Chat.OnOneSecondTick();
}

std::vector<std::string> cChatTestAgent::SentStarting(const std::string& sStart) const {
  std::vector<std::string> found;
  for (const auto& s : m_Sent) {
    if (s.compare(0, sStart.size(), sStart) == 0) found.push_back(s);
  }
  return found;
}

void cChatTestAgent::OnSocketRecv(const cKytSTR& text) {
  m_Received.push_back(text.GetDATA());
  std::unique_ptr<cMsgSIP> pMsg = cMsgSIP::initWithPacketSIP(text);
  if (!pMsg) return;
  if (pMsg->IsRequest()) {
    cKytSTR event;
    if (pMsg->Is_MESSAGE_Req()) {
      m_Chat.OnReqMESSAGE(*pMsg);
    } else if (pMsg->Is_SUBSCRIBE_Req()) {
      m_Chat.OnReqSUBSCRIBE(*pMsg);
    } else if (pMsg->Is_NOTIFY_Req() && pMsg->GetEvent(event) &&
               event.CompareNoCaseTo("presence")) {
      m_Chat.OnReqNOTIFY(*pMsg);
    }
    return;
  }
  if (pMsg->Is_Rep_For("MESSAGE")) {
    m_Chat.OnRepMESSAGE(*pMsg);
  } else if (pMsg->Is_Rep_For("SUBSCRIBE")) {
    m_Chat.OnRepSUBSCRIBE(*pMsg);
  } else if (pMsg->Is_Rep_For("NOTIFY")) {
    m_Chat.OnRepNOTIFY(*pMsg);
  }
}

void cChatTestAgent::SendToSocket(const cKytSTR& text, const cKytSTR& host, int32_t nPort) {
  m_Sent.push_back(text.GetDATA());
  if (m_pSocket) m_pSocket->SendData(text, host.GetDATA(), nPort);
}

// ---------------------------------------------------------------------------------------------
// Helpers

std::string DataFile(const std::string& sName) {
  return std::string(KYT_CHAT_TEST_DATA) + "/" + sName;
}

namespace {

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

// Replaces every run of hexadecimal digits that follows sMark and starts with a decimal digit.
std::string ReplaceAfter(const std::string& sText, const std::string& sMark,
                         const std::string& sWith) {
  std::string out;
  size_t nPos = 0;
  for (size_t nFound; (nFound = sText.find(sMark, nPos)) != std::string::npos;) {
    size_t nEnd = nFound + sMark.size();
    out.append(sText, nPos, nEnd - nPos);
    if (nEnd < sText.size() && sText[nEnd] >= '0' && sText[nEnd] <= '9') {
      while (nEnd < sText.size() && IsHex(sText[nEnd])) ++nEnd;
      out += sWith;
    }
    nPos = nEnd;
  }
  out.append(sText, nPos, std::string::npos);
  return out;
}

// Our Call-IDs read "hex-hex-hex@host".
std::string ReplaceCallId(const std::string& sText) {
  const std::string kMark = "Call-ID: ";
  size_t nFound = sText.find(kMark);
  if (nFound == std::string::npos) return sText;
  size_t nStart = nFound + kMark.size();
  size_t nAt = sText.find('@', nStart);
  if (nAt == std::string::npos) return sText;
  int nDashes = 0;
  for (size_t i = nStart; i < nAt; ++i) {
    if (sText[i] == '-') {
      ++nDashes;
    } else if (!IsHex(sText[i])) {
      return sText;
    }
  }
  if (nDashes != 2) return sText;
  return sText.substr(0, nStart) + "CALLID" + sText.substr(nAt);
}

}  // namespace

std::string Normalized(const std::string& sMessage) {
  std::string s = ReplaceAfter(sMessage, "branch=z9hG4bK", "BRANCH");
  s = ReplaceAfter(s, "tag=", "TAG");
  return ReplaceCallId(s);
}

std::string ResponseTo(const std::string& sRequest, int nStatusCode, const std::string& sReason,
                       const std::string& sExtra, const std::string& sBody) {
  std::string to = HeaderOf(sRequest, "To");
  if (to.find(";tag=") == std::string::npos && nStatusCode != 100) to += ";tag=peer77";
  std::string s = "SIP/2.0 " + std::to_string(nStatusCode) + " " + sReason + "\r\n";
  s += "Via: " + HeaderOf(sRequest, "Via") + "\r\n";
  s += "From: " + HeaderOf(sRequest, "From") + "\r\n";
  s += "To: " + to + "\r\n";
  s += "Call-ID: " + HeaderOf(sRequest, "Call-ID") + "\r\n";
  s += "CSeq: " + HeaderOf(sRequest, "CSeq") + "\r\n";
  s += sExtra;
  s += "Content-Length: " + std::to_string(sBody.size()) + "\r\n\r\n" + sBody;
  return s;
}

std::string RequestFrom(const std::string& sMethod, const std::string& sFromUser,
                        const std::string& sCallId, int nCSeq, const std::string& sExtra,
                        const std::string& sBody, const std::string& sTo) {
  std::string s = sMethod + " sip:alice@127.0.0.1 SIP/2.0\r\n";
  s += "Via: SIP/2.0/UDP 127.0.0.1:5999;branch=z9hG4bK-peer-" + std::to_string(nCSeq) + "\r\n";
  s +=
      "From: \"" + sFromUser + "\" <sip:" + sFromUser + "@127.0.0.1>;tag=from" + sFromUser + "\r\n";
  s += "To: " + sTo + "\r\n";
  s += "Call-ID: " + sCallId + "\r\n";
  s += "CSeq: " + std::to_string(nCSeq) + " " + sMethod + "\r\n";
  s += sExtra;
  s += "Content-Length: " + std::to_string(sBody.size()) + "\r\n\r\n" + sBody;
  return s;
}

}  // namespace chattest
