#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "call/cListFieldSDP.h"
#include "util/cKytListSTR.h"
#include "util/cKytNoCopy.h"
#include "util/cKytSTR.h"

// One session description: built for an offer or answer, or parsed from a received body. Only the
// first audio stream matters; everything the media engine needs is read from it.
class cMsgSDP : private cKytNoCopy {
 public:
  static constexpr int32_t CODEC_COUNT = 4;  // 0 PCMU, 1 PCMA, 2 GSM, 3 iLBC
  static constexpr int32_t CODEC_ILBC = 3;
  static constexpr int32_t kILBCMode20 = 20;
  static constexpr int32_t kILBCMode30 = 30;

  // SRTP crypto suites of an a=crypto line (RFC 4568 section 6.2), in our order of preference.
  enum eSuite : int32_t {
    SUITE_NONE = 0,
    SUITE_AES_CM_128_HMAC_SHA1_80,
    SUITE_AES_CM_128_HMAC_SHA1_32
  };
  static constexpr size_t kKeySaltBytes = 30;  // 128-bit master key, 112-bit master salt
  // One a=crypto line: its tag, suite and inline master key with salt.
  struct sCrypto {
    int32_t nTag = 0;
    int32_t nSuite = SUITE_NONE;
    std::array<uint8_t, kKeySaltBytes> key{};
    // The master key identifier its sender's packets carry (RFC 4568 section 6.1), as those
    // bytes; empty when there is none.
    std::vector<uint8_t> mki;
  };

  cMsgSDP();

  // Builds a whole description into text. codecList holds codec numbers as decimal texts in the
  // order they are to be offered; entries that are not a known codec number are skipped.
  bool CreateSDP(const cKytSTR& originUser, const cKytSTR& directionAttribute,
                 const cKytSTR& connectionIP, const cKytSTR& originIP, int32_t nPort,
                 const cKytListSTR& codecList, cKytSTR& text);
  // The same inside a dialog: the origin keeps the dialog's session id, with the version of this
  // description.
  bool CreateSDP(const cKytSTR& originUser, const cKytSTR& directionAttribute,
                 const cKytSTR& connectionIP, const cKytSTR& originIP, int32_t nPort,
                 const cKytListSTR& codecList, uint32_t nSessionId, uint32_t nVersion,
                 cKytSTR& text);
  // The a=crypto lines of the next description built; with any, its audio goes as RTP/SAVP.
  void SetCrypto(const std::vector<sCrypto>& lines) { m_Crypto = lines; }
  // A session id no other description of this process has used.
  static uint32_t NewSessionId() { return m_nUniqueIdCountSDP.fetch_add(1); }

  // Reads a received description. Reading never fails: what could not be read is simply absent.
  bool initWithPacketSDP(const cKytSTR& text);

  bool GetAudioConnectionIP(cKytSTR& ip) const;
  // Port of the audio stream and its payloads that map to our codecs, in the remote's order:
  // codec numbers and payload numbers as decimal texts, position by position.
  bool GetMediaAudio(int32_t& nPort, cKytListSTR& codecNumbers, cKytListSTR& payloadNumbers) const;
  int32_t GetMagicNoDTMF() const;
  int32_t GetMagicNoiLBC() const { return m_nMagicNoiLBC; }
  // iLBC frame length in ms (20 or 30): what a read description's fmtp for its iLBC payload type
  // asks (20 only for mode=20), or what a description built next announces.
  int32_t GetILBCMode() const { return m_nILBCModeMs; }
  void SetILBCMode(int32_t nModeMs) {
    m_nILBCModeMs = nModeMs == kILBCMode20 ? kILBCMode20 : kILBCMode30;
  }
  // Whether the audio stream's transport is RTP/SAVP.
  bool IsSecureAudio() const;
  // The a=crypto lines we can honour, in the description's order: a known suite, one inline key
  // of exactly 30 bytes in strict base64, a lifetime (if any) of at least 2^31 packets, no MKI
  // and no session parameters. Any other line is left out.
  std::vector<sCrypto> GetCrypto() const;
  // "recvonly", "sendonly" or "inactive" when the description carries one of them.
  bool GetHoldAttrib(cKytSTR& attribute) const;
  // The remote puts us on hold: direction sendonly or inactive, or connection address 0.0.0.0.
  bool IsRemoteHold() const;

  // Values of one line type (index from cListFieldSDP).
  const cKytListSTR& GetField(int32_t nIndex) const { return m_pFieldSDP[nIndex]; }

 private:
  int32_t FindMagicNo(const char* pKey) const;
  int32_t FindILBCMode() const;
  int32_t FindAudioLine(cKytSTR& line) const;
  static bool ParseCrypto(const cKytSTR& attribute, sCrypto& crypto);

  std::array<cKytListSTR, cListFieldSDP::FIELD_COUNT> m_pFieldSDP;
  int32_t m_nMagicNoiLBC = -1;
  int32_t m_nILBCModeMs = kILBCMode30;
  std::vector<sCrypto> m_Crypto;

  static std::atomic<uint32_t> m_nUniqueIdCountSDP;
  static const char* const m_pCodecPayload[CODEC_COUNT];
  static const char* const m_pCodecAttribute[CODEC_COUNT];
};
