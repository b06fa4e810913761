#include "cChatTestAgent.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "sip/cMsgSIP.h"

extern char** environ;

namespace chattest {

// ---------------------------------------------------------------------------------------------
// cEventLog

void cEventLog::Add(const std::string& sLine) {
  m_Events.push_back(sLine);
  if (m_OnEvent) m_OnEvent(sLine);
}

size_t cEventLog::Count(const std::string& sPrefix) const { return Matching(sPrefix).size(); }

bool cEventLog::Heard(const std::string& sLine) const {
  for (const auto& e : m_Events) {
    if (e == sLine) return true;
  }
  return false;
}

std::vector<std::string> cEventLog::Matching(const std::string& sPrefix) const {
  std::vector<std::string> found;
  for (const auto& e : m_Events) {
    if (e.compare(0, sPrefix.size(), sPrefix) == 0) found.push_back(e);
  }
  return found;
}

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
// cSilentPeer

cSilentPeer::cSilentPeer(cAsioMainLoop* pLoop) {
  m_Socket.Bind("127.0.0.1", 0);
  m_Socket.StartReader(pLoop, [this](const std::string& data, const std::string&, uint16_t) {
    m_Received.push_back(data);
  });
}

void cSilentPeer::SendTo(uint16_t nPort, const std::string& sText) {
  m_Socket.SendTo("127.0.0.1", nPort, sText.data(), sText.size());
}

// ---------------------------------------------------------------------------------------------
// cChildProcess

cChildProcess::cChildProcess(const std::vector<std::string>& argv, const std::string& sLogFile) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, sLogFile.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
    m_nPid = pid;
  } else {
    m_nExitCode = 127;
  }
  posix_spawn_file_actions_destroy(&actions);
}

cChildProcess::~cChildProcess() {
  if (m_nPid > 0) {
    kill(m_nPid, SIGTERM);
    int status = 0;
    waitpid(m_nPid, &status, 0);
  }
}

bool cChildProcess::Done() {
  if (m_nPid <= 0) return true;
  int status = 0;
  if (waitpid(m_nPid, &status, WNOHANG) != m_nPid) return false;
  m_nPid = -1;
  m_nExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Helpers

uint16_t FreeUdpPort() {
  cUdpSocket probe;
  probe.Bind("127.0.0.1", 0);
  return probe.GetLocalPort();
}

std::string DataFile(const std::string& sName) {
  return std::string(KYT_CHAT_TEST_DATA) + "/" + sName;
}

std::string ReadText(const std::string& sPath) {
  std::ifstream in(sPath);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string HeaderOf(const std::string& sMessage, const std::string& sName) {
  std::istringstream in(sMessage);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) break;
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    if (strcasecmp(line.substr(0, colon).c_str(), sName.c_str()) != 0) continue;
    std::string value = line.substr(colon + 1);
    const size_t first = value.find_first_not_of(' ');
    const size_t last = value.find_last_not_of(' ');
    return first == std::string::npos ? "" : value.substr(first, last - first + 1);
  }
  return "";
}

std::string StartLineOf(const std::string& sMessage) {
  return sMessage.substr(0, sMessage.find("\r\n"));
}

std::string BodyOf(const std::string& sMessage) {
  size_t nBlank = sMessage.find("\r\n\r\n");
  return nBlank == std::string::npos ? "" : sMessage.substr(nBlank + 4);
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

}  // namespace chattest

namespace chattest {

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
