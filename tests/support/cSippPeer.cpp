#include "tests/support/cSippPeer.h"

#include <filesystem>

#include "tests/support/TextFile.h"
#include "tests/support/Wait.h"
#include "tests/support/cLoopbackPort.h"

namespace kyttest {

cSippPeer::cSippPeer()
    : m_nPort(cLoopbackPort::FreeUdp()),
      m_nMediaPort(cLoopbackPort::FreeUdp(4)),
      m_nControlPort(cLoopbackPort::FreeUdp()) {}

bool cSippPeer::Start(const std::string& sScenarioFile, const std::string& sRemote,
                      std::chrono::seconds timeout, const Keys& keys) {
  if (m_Dir.Path().empty() || m_nPort == 0 || m_nMediaPort == 0 || m_nControlPort == 0) {
    return false;
  }
  // The scenario with its marks filled in, beside SIPp's logs.
  std::string text = ReadText(sScenarioFile);
  if (text.empty()) return false;
  for (const auto& [key, value] : keys) text = ReplaceAll(text, "%" + key + "%", value);
  const std::string filled = m_Dir.File(std::filesystem::path(sScenarioFile).filename().string());
  WriteText(filled, text);

  std::vector<std::string> args = {"sipp",
                                   "-sf",
                                   filled,
                                   "-i",
                                   "127.0.0.1",
                                   "-p",
                                   std::to_string(m_nPort),
                                   "-mi",
                                   "127.0.0.1",
                                   "-mp",
                                   std::to_string(m_nMediaPort),
                                   "-cp",
                                   std::to_string(m_nControlPort),
                                   "-m",
                                   "1",
                                   "-nostdin",
                                   "-timeout",
                                   std::to_string(timeout.count()) + "s",
                                   "-timeout_error",
                                   "-trace_err",
                                   "-error_file",
                                   m_Dir.File("errors.log"),
                                   "-trace_msg",
                                   "-message_file",
                                   m_Dir.File("messages.log")};
  if (m_bEchoRtp) args.push_back("-rtp_echo");
  if (!sRemote.empty()) args.push_back(sRemote);
  if (!m_Process.Start(args, m_Dir.File("sipp.log"), m_Dir.Path())) return false;
  // Ready once it holds its port (it binds within a few hundred milliseconds).
  PollUntil([this] { return m_Process.Done() || cLoopbackPort::IsUdpTaken(m_nPort); },
            std::chrono::seconds(10));
  return !m_Process.Done() && cLoopbackPort::IsUdpTaken(m_nPort);
}

std::string cSippPeer::Output() const {
  return ReadText(m_Dir.File("sipp.log")) + ReadText(m_Dir.File("errors.log")) +
         ReadText(m_Dir.File("messages.log"));
}

}  // namespace kyttest
