// SIP over TCP and TLS against Kamailio (TCP on its SIP port, TLS on the next one, with a
// certificate from a CA the test makes) and baresip registered there the same way: calls both
// ways in which each side hears the other (over TLS in SRTP, which baresip is told to insist on,
// and tcpdump sees no plain voice on the wire), a long MESSAGE moved from UDP to TCP for its
// size, a registration renewed at once over a new connection when the server restarts, and
// registrations refused, without credentials ever leaving, for a certificate that names
// another host or comes from a CA nobody trusts.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

#include "KytRTP/cKytRTP.h"
#include "cBaresipTestBase.h"
#include "cKamailioProxy.h"
#include "cPlainVoiceCapture.h"
#include "tests/support/cLoopbackPort.h"
#include "useragent/cKytSIPUserAgentObject.h"

namespace {

enum class eScenario { CALLS, LONG_MESSAGE, RESTART, REFUSED };

struct sStreamCase {
  const char* pName;
  const char* pOurs;        // our proxy's transport: "udp", "tcp" or "tls"
  const char* pPeers;       // baresip's
  const char* pServerCert;  // Kamailio's certificate
  eScenario scenario;
};

// The line of text that holds sWhat; empty when none does.
std::string LineWith(const std::string& sText, const std::string& sWhat) {
  const size_t nAt = sText.find(sWhat);
  if (nAt == std::string::npos) return "";
  const size_t nStart = sText.rfind('\n', nAt);
  return sText.substr(nStart == std::string::npos ? 0 : nStart + 1,
                      sText.find('\n', nAt) - (nStart == std::string::npos ? 0 : nStart + 1));
}

void PrintTo(const sStreamCase& c, std::ostream* pOut) { *pOut << c.pName; }

std::string CaseName(const ::testing::TestParamInfo<sStreamCase>& info) { return info.param.pName; }

// A CA that signs the certificates of Kamailio and baresip, one that nobody trusts, and a
// certificate for a host that is not ours.
const char* const kMakeCertificates = R"(set -e
key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:prime256v1 -out "$1.key"; }
ca() { key $1; openssl req -x509 -new -key $1.key -out $1.crt -days 2 -subj "/CN=$1"; }
leaf() {
  key $1
  openssl req -new -key $1.key -out $1.csr -subj "/CN=$1"
  printf "subjectAltName=%s\n" "$3" > $1.ext
  openssl x509 -req -in $1.csr -CA $2.crt -CAkey $2.key -CAcreateserial -out $1.crt -days 2 \
    -extfile $1.ext
  cat $1.key $1.crt > $1.pem
}
ca testca; ca otherca
leaf good testca "DNS:localhost,IP:127.0.0.1"
leaf wronghost testca "DNS:wrong.example"
leaf stranger otherca "DNS:localhost,IP:127.0.0.1"
)";

class StreamTransport : public cBaresipTestBase, public ::testing::WithParamInterface<sStreamCase> {
 protected:
  void SetUp() override {
    const std::string sPki = m_Dir.File("pki");
    std::filesystem::create_directory(sPki);
    std::ofstream(sPki + "/make.sh") << kMakeCertificates;
    ASSERT_EQ(0, std::system(("cd " + sPki + " && bash make.sh >make.log 2>&1").c_str()))
        << "openssl could not make the test certificates";
    const std::string sCert = sPki + "/" + GetParam().pServerCert;
    std::ofstream(sPki + "/tls.cfg") << "[server:default]\nmethod = TLSv1.2+\n"
                                     << "private_key = " << sCert << ".key\n"
                                     << "certificate = " << sCert << ".crt\n"
                                     << "[client:default]\nmethod = TLSv1.2+\n"
                                     << "verify_certificate = no\n";
    std::filesystem::create_directory(m_Dir.File("kamailio"));
    m_Proxy.SetStreams(sPki + "/tls.cfg");
    ASSERT_TRUE(m_Proxy.Start()) << m_Proxy.Failure();
    m_Agent.GetKytMainObj()->SetCaFile((sPki + "/testca.crt").c_str());
  }

  void TearDown() override {
    cBaresipTestBase::TearDown();
    if (HasFailure()) std::cout << "--- kamailio ---\n" << m_Proxy.Log() << std::endl;
  }

  // "127.0.0.1:port" of the transport: TLS has a port of its own.
  std::string Registrar(const std::string& sTransport) const {
    return "127.0.0.1:" + std::to_string(sTransport == "tls" ? m_Proxy.TlsPort() : m_Proxy.Port());
  }
  static std::string Uri(const std::string& sHostPort, const std::string& sTransport) {
    return "sip:" + sHostPort + (sTransport == "udp" ? "" : ";transport=" + sTransport);
  }

  void StartRegistered() {
    const sStreamCase& c = GetParam();
    m_sPeerTransport = c.pPeers;
    m_sPeerCaFile = m_Dir.File("pki/testca.crt");
    m_sPeerCertificate = m_Dir.File("pki/good.pem");
    // Over TLS our offers carry SRTP keys only, and baresip insists on SRTP.
    if (std::string(c.pOurs) == "tls") m_sPeerMediaEnc = "srtp-mand";
    m_sOurProxy = Uri(Registrar(c.pOurs), c.pOurs);
    StartBoth("pcmu", {0}, "auto", Registrar(c.pPeers));
    ASSERT_NE(std::string::npos,
              m_Proxy.Log().find(std::string("REGISTER of alice accepted over ") + c.pOurs))
        << "we register over our transport, with digest authentication";
  }

  // One call set up by each side in turn; each side talks, the other hears.
  void CallBothWays() {
    const std::string sTransport = GetParam().pOurs;
    cPlainVoiceCapture capture;
    ASSERT_TRUE(
        capture.Start(m_Agent.GetKytMainObj()->GetKytRTPLib()->GetLineRxPort(0), m_Dir.Path()));
    ASSERT_TRUE(m_Agent.Connect(0, m_pPeer->Uri().c_str(), 0, 0)) << m_Agent.GetKytObjectError();
    ASSERT_TRUE(WaitFor([&] { return BothConnected(); }));
    m_Loop.RunFor(kTalkTime);
    ASSERT_TRUE(m_Agent.Disconnect(0)) << m_Agent.GetKytObjectError();
    ASSERT_TRUE(WaitFor([&] { return m_pPeer->HeardEvent("CALL_CLOSED"); }));

    m_Agent.m_nAnswerLine = 0;
    ASSERT_TRUE(m_pPeer->Command(
        "dial", "sip:alice@" + Registrar(sTransport) + ";transport=" + sTransport));
    ASSERT_TRUE(WaitFor([&] {
      m_pPeer->Pump();
      return m_Agent.Count("OnSuccessToConnect") >= 2 &&
             m_pPeer->EventParams("CALL_ESTABLISHED").size() >= 2;
    })) << "baresip's call reaches us over "
        << sTransport;
    m_Loop.RunFor(kTalkTime);
    ASSERT_TRUE(m_pPeer->Command("hangup"));
    ASSERT_TRUE(WaitFor([&] { return m_Agent.Count("OnDisconnectCall 0") >= 1; }));
    EXPECT_EQ(0u, m_Agent.Count("OnFail"));
    const std::string sInvite = m_Agent.LastSent("INVITE ");
    EXPECT_NE(std::string::npos, sInvite.find("SIP/2.0/" + Upper(sTransport)));
    EXPECT_EQ(sTransport == "tls", sInvite.find(" RTP/SAVP 0 ") != std::string::npos &&
                                       sInvite.find("\r\na=crypto:") != std::string::npos)
        << "media is SRTP exactly when signalling is TLS: " << sInvite;
    capture.Stop();
    ASSERT_TRUE(StopPeer());
    ExpectHeardTone(OurSpeaker(), kPeerTone, "our speaker");
    ExpectHeardTone(PeerHeard(), kOurTone, "baresip");
    EXPECT_GE(capture.Packets(), 400u) << "both calls' RTP was captured";
    const size_t nPlain = capture.PlainPackets({{kPeerTone, kPeerTonePeriod}, {kOurTone, 8}});
    if (sTransport == "tls") {
      EXPECT_EQ(0u, nPlain) << "of " << capture.Packets() << " packets carry plain G.711";
    } else {
      EXPECT_GT(nPlain, capture.Packets() / 2) << "plain RTP carries the tones in G.711";
    }
  }

  static std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
  }

  cKamailioProxy m_Proxy{m_Dir.File("kamailio")};
};

TEST_P(StreamTransport, Works) {
  const sStreamCase& c = GetParam();
  if (c.scenario == eScenario::CALLS) {
    ASSERT_NO_FATAL_FAILURE(StartRegistered());
    CallBothWays();
  } else if (c.scenario == eScenario::LONG_MESSAGE) {
    ASSERT_NO_FATAL_FAILURE(StartRegistered());
    // 3 KB: well past what a UDP request may carry (RFC 3261 section 18.1.1).
    const std::string sText = std::string(3000, 'k') + "-end-of-long-text";
    ASSERT_TRUE(m_Agent.ChatSendMessageText("bob", sText.c_str(), 101, 7));
    ASSERT_TRUE(WaitFor([&] {
      return m_pPeer->Log().find("-end-of-long-text") != std::string::npos &&
             m_Agent.Heard("OnChatSendMsgTextSuccess");
    })) << "the MESSAGE reaches baresip and is answered";
    const std::string sLine = LineWith(m_Proxy.Log(), "MESSAGE sip:bob@");
    EXPECT_NE(std::string::npos, sLine.find("from 127.0.0.1:" + std::to_string(m_nOurPort)))
        << "it comes from our SIP port: " << sLine;
    EXPECT_NE(std::string::npos, sLine.find("over tcp")) << "it comes over TCP: " << sLine;
  } else if (c.scenario == eScenario::RESTART) {
    ASSERT_NO_FATAL_FAILURE(StartRegistered());
    ASSERT_TRUE(m_Proxy.Restart()) << m_Proxy.Failure();
    // Our connection went with the old server: we register again over a new one at once, not
    // at the refresh a minute later.
    EXPECT_TRUE(WaitFor([&] {
      return m_Proxy.Log().find(std::string("REGISTER of alice accepted over ") + c.pOurs) !=
             std::string::npos;
    })) << "no registration over a new connection";
  } else {
    m_sOurProxy = Uri(Registrar(c.pOurs), c.pOurs);
    m_nOurPort = kyttest::cLoopbackPort::FreeUdp();
    ASSERT_TRUE(m_Agent.Initialize(true, "127.0.0.1", m_nOurPort, "sip:alice@127.0.0.1", "",
                                   m_sOurProxy.c_str(), "alice", "pw", true, 1));
    ASSERT_TRUE(m_Agent.RegisterToProxy(60)) << m_Agent.GetKytObjectError();
    ASSERT_TRUE(WaitFor([&] { return m_Agent.Heard("OnFailToRegisterEx"); }));
    const std::string sEvent = m_Agent.EventText("OnFailToRegisterEx");
    EXPECT_EQ(0u, sEvent.find("OnFailToRegisterEx 503 certificate not accepted")) << sEvent;
    EXPECT_EQ(std::string::npos, m_Proxy.Log().find("REGISTER")) << "nothing reached the server";
    EXPECT_FALSE(m_Agent.Heard("OnSuccessToRegister"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    OverStreams, StreamTransport,
    ::testing::Values(
        sStreamCase{"TlsCallsBothWays", "tls", "tls", "good", eScenario::CALLS},
        sStreamCase{"TcpCallsBothWays", "tcp", "tcp", "good", eScenario::CALLS},
        sStreamCase{"TlsRegistersAgainWhenTheServerRestarts", "tls", "tls", "good",
                    eScenario::RESTART},
        sStreamCase{"LongUdpMessageGoesOverTcp", "udp", "tcp", "good", eScenario::LONG_MESSAGE},
        sStreamCase{"CertificateOfAnotherHost", "tls", "", "wronghost", eScenario::REFUSED},
        sStreamCase{"CertificateOfUnknownCa", "tls", "", "stranger", eScenario::REFUSED}),
    CaseName);

}  // namespace
