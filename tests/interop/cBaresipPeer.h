#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cPeerNetwork.h"
#include "platform/cAsioMainLoop.h"
#include "tests/support/cChildProcess.h"

// baresip as the far end of a call: started on 127.0.0.1 with a private configuration folder,
// its own SIP port and a TCP control port, with one account and no registration. It plays
// a WAVE file as its microphone (the aufile source) and writes what it decodes to a WAVE file
// (the sndfile filter); the test dials, answers and hangs up, and hears its call events, over
// the control connection (netstrings of JSON).
class cBaresipPeer {
 public:
  // sDir: an empty folder that becomes baresip's configuration and dump folder.
  // sUser: the account's user part; sCodecs: baresip's audio_codecs list ("pcmu", "gsm,pcma");
  // sSourceWave: 8000 Hz mono 16-bit WAVE file played into every call; sAnswerMode: "auto"
  // answers incoming calls at once, "manual" lets them ring until the "accept" command.
  cBaresipPeer(std::string sDir, std::string sUser, std::string sCodecs, std::string sSourceWave,
               std::string sAnswerMode);
  ~cBaresipPeer();
  cBaresipPeer(const cBaresipPeer&) = delete;
  cBaresipPeer& operator=(const cBaresipPeer&) = delete;

  // Before Start: register the account at this "host:port" (no credentials) and take its
  // domain, instead of running without a registrar.
  void SetRegistrar(const std::string& sHostPort) { m_sRegistrar = sHostPort; }
  // Before Start: reach the registrar over "tcp" or "tls"; for TLS, trust sCaFile and present
  // sCertificate (key and certificate in one PEM file) on its own TLS port.
  void SetTransport(std::string sTransport, std::string sCaFile = "",
                    std::string sCertificate = "") {
    m_sTransport = std::move(sTransport);
    m_sCaFile = std::move(sCaFile);
    m_sCertificate = std::move(sCertificate);
  }
  // Before Start: load the srtp module and give the account this mediaenc ("srtp-mand").
  void SetMediaEncryption(std::string sMediaEnc) { m_sMediaEnc = std::move(sMediaEnc); }
  // Before Start: run it there instead of on 127.0.0.1 here.
  void SetNetwork(cPeerNetwork network) { m_Network = std::move(network); }

  // Writes the configuration, starts baresip and connects to its control port; false (with
  // the reason in Failure()) when the program or one of its modules is missing or it does not
  // come up in time.
  bool Start(cAsioMainLoop& loop);
  // Asks baresip to quit and waits for it; true when it ended by itself.
  bool Stop(cAsioMainLoop& loop);

  uint16_t SipPort() const { return m_nSipPort; }
  // The account's address: sip:user@127.0.0.1:port reachable without a registrar, or the
  // address-of-record in the registrar's domain.
  std::string Uri() const;

  // Sends one control command ("dial", "hangup", ...) with its parameter text.
  bool Command(const std::string& sCommand, const std::string& sParams = "");
  // Reads what the control connection has brought so far (call it while waiting).
  void Pump();
  // Whether an event of this type ("CALL_ESTABLISHED", "CALL_CLOSED") has come, and the whole
  // JSON text of the first one.
  bool HeardEvent(const std::string& sType);
  std::string EventText(const std::string& sType) const;
  // The "param" of every event of this type, in order.
  std::vector<std::string> EventParams(const std::string& sType) const;

  // What baresip decoded from the last call (its sndfile "-dec" dump); empty when none.
  std::string DecodedWave() const;
  // RTP packets received in the last call, from the statistics baresip logs when a call
  // ends; -1 when there are none.
  int ReceivedPackets() const;
  std::string Log() const;
  const std::string& Failure() const { return m_sFailure; }

 private:
  void WriteConfig() const;
  bool ConnectControl();

  std::string m_sDir;
  std::string m_sUser;
  std::string m_sCodecs;
  std::string m_sSourceWave;
  std::string m_sAnswerMode;
  std::string m_sRegistrar;
  std::string m_sTransport;
  std::string m_sCaFile;
  std::string m_sCertificate;
  std::string m_sMediaEnc;
  cPeerNetwork m_Network;
  uint16_t m_nSipPort = 0;
  uint16_t m_nControlPort = 0;
  uint16_t m_nFirstRtpPort = 0;
  int m_nControlFd = -1;
  std::string m_sControlBuffer;
  std::vector<std::string> m_Messages;
  std::unique_ptr<kyttest::cChildProcess> m_pProcess;
  std::string m_sFailure;
};
