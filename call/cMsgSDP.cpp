#include "call/cMsgSDP.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cRandom.h"
#include "util/cBase64.h"

std::atomic<uint32_t> cMsgSDP::m_nUniqueIdCountSDP{0};

const char* const cMsgSDP::m_pCodecPayload[CODEC_COUNT] = {"0", "8", "3", "98"};
const char* const cMsgSDP::m_pCodecAttribute[CODEC_COUNT] = {"PCMU/8000", "PCMA/8000", "GSM/8000",
                                                             "iLBC/8000"};

namespace {

constexpr const char* kDtmfPayload = "101";

// The SDP address type of an address: IPv6 ones hold colons.
const char* AddressType(const cKytSTR& ip) {
  return ip.FindSTR(":") == cKytSTR::KYT_NOT_FOUND ? "IP4" : "IP6";
}

// A codec number written exactly as the decimal text of 0..3; -1 for anything else.
int32_t CodecNumberOf(const cKytSTR& text) {
  for (int32_t n = 0; n < cMsgSDP::CODEC_COUNT; ++n) {
    if (text.CompareTo(cKytSTR::IntToStr(n).GetDATA())) return n;
  }
  return -1;
}

// An RTP payload type: 1 to 3 digits, 0..127; -1 otherwise.
int32_t PayloadTypeOf(const cKytSTR& text) {
  uint32_t nLen = text.GetLEN();
  if (nLen == 0 || nLen > 3) return -1;
  for (uint32_t i = 0; i < nLen; ++i) {
    if (text.GetDATA()[i] < '0' || text.GetDATA()[i] > '9') return -1;
  }
  int32_t nValue = text.ConvertToINT();
  return nValue <= 127 ? nValue : -1;
}

// Text from nStart up to (not including) nEnd, cut at the end of the text.
cKytSTR Slice(const cKytSTR& text, uint32_t nStart, uint32_t nEnd) {
  cKytSTR out;
  uint32_t nLen = text.GetLEN();
  if (nEnd > nLen) nEnd = nLen;
  if (nEnd > nStart) text.SubSTR(nStart, nEnd - nStart, out);
  return out;
}

// The leading decimal digits of a port text ("5000" or "5000/2"); -1 unless 1..65535.
int32_t PortOf(const cKytSTR& text) {
  int32_t nValue = 0;
  uint32_t nDigits = 0;
  for (const char* p = text.GetDATA(); *p >= '0' && *p <= '9'; ++p) {
    if (++nDigits > 5) return -1;
    nValue = nValue * 10 + (*p - '0');
  }
  return (nDigits > 0 && nValue >= 1 && nValue <= 65535) ? nValue : -1;
}

// Whether an attribute "fmtp:<nPayload> a=b; mode=20" asks for 20 ms frames. Parameters are split
// at ';' and compared without their blanks, so "mode = 20" counts too.
bool SaysMode20(const cKytSTR& attribute, int32_t nPayload) {
  cKytSTR lower(attribute);
  lower.MakeLower();
  const std::string_view line(lower.GetDATA(), lower.GetLEN());
  const std::string head = "fmtp:" + std::to_string(nPayload) + " ";
  if (line.substr(0, head.size()) != head) return false;
  std::string_view rest = line.substr(head.size());
  while (!rest.empty()) {
    const size_t nSemi = rest.find(';');
    const std::string_view param = rest.substr(0, nSemi);
    std::string compact;
    for (char c : param) {
      if (c != ' ' && c != '\t') compact.push_back(c);
    }
    if (compact == "mode=20") return true;
    if (nSemi == std::string_view::npos) break;
    rest = rest.substr(nSemi + 1);
  }
  return false;
}

constexpr const char* kSuiteNames[] = {"", "AES_CM_128_HMAC_SHA1_80", "AES_CM_128_HMAC_SHA1_32"};
// Base64 of the 30 key and salt bytes: 40 characters, never padded.
constexpr size_t kKeyBase64 = 40;
// A key's lifetime is its sender's to keep, by re-keying in time; any up to the suites' own
// limit will do.
constexpr uint64_t kLongestLifetime = uint64_t{1} << 48;
// The longest master key identifier SRTP carries.
constexpr uint64_t kLongestMki = 128;

// The blank-separated words of a text.
std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  while (!text.empty()) {
    const size_t nStart = text.find_first_not_of(" \t");
    if (nStart == std::string_view::npos) break;
    text = text.substr(nStart);
    const size_t nEnd = text.find_first_of(" \t");
    words.push_back(text.substr(0, nEnd));
    if (nEnd == std::string_view::npos) break;
    text = text.substr(nEnd);
  }
  return words;
}

// Decimal digits only, at most nMaxDigits of them.
bool DigitsOf(std::string_view text, size_t nMaxDigits, uint64_t& nValue) {
  if (text.empty() || text.size() > nMaxDigits) return false;
  nValue = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    nValue = nValue * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}

// "2^n" or a decimal count of packets, up to kLongestLifetime.
bool IsLifetime(std::string_view text) {
  uint64_t nValue = 0;
  if (text.substr(0, 2) == "2^") {
    if (!DigitsOf(text.substr(2), 2, nValue) || nValue > 48) return false;
    nValue = uint64_t{1} << nValue;
  } else if (!DigitsOf(text, 15, nValue)) {
    return false;
  }
  return nValue >= 1 && nValue <= kLongestLifetime;
}

// "value:length" (RFC 4568 section 6.1): the identifier as length bytes, most significant first.
bool ParseMki(std::string_view text, std::vector<uint8_t>& mki) {
  const size_t nColon = text.find(':');
  uint64_t nValue = 0;
  uint64_t nLength = 0;
  if (nColon == std::string_view::npos || !DigitsOf(text.substr(0, nColon), 19, nValue) ||
      !DigitsOf(text.substr(nColon + 1), 3, nLength) || nLength < 1 || nLength > kLongestMki ||
      (nLength < 8 && nValue >> (8 * nLength) != 0)) {
    return false;
  }
  mki.assign(nLength, 0);
  for (size_t i = 0; i < 8 && i < nLength; ++i) mki[nLength - 1 - i] = (nValue >> (8 * i)) & 0xFF;
  return true;
}

bool DecodeKey(std::string_view text, std::array<uint8_t, cMsgSDP::kKeySaltBytes>& key) {
  std::vector<uint8_t> decoded;
  if (text.size() != kKeyBase64 || !cBase64::Decode(text, decoded) || decoded.size() != key.size())
    return false;
  std::copy(decoded.begin(), decoded.end(), key.begin());
  return true;
}

cKytSTR Lowered(const cKytSTR& text) {
  cKytSTR out(text);
  out.MakeLower();
  return out;
}

}  // namespace

cMsgSDP::cMsgSDP() {
  // The session id and version start somewhere unpredictable and then count up.
  uint32_t nExpected = 0;
  uint32_t nStart = cRandom::Next32();
  m_nUniqueIdCountSDP.compare_exchange_strong(nExpected, nStart);
}

bool cMsgSDP::CreateSDP(const cKytSTR& originUser, const cKytSTR& directionAttribute,
                        const cKytSTR& connectionIP, const cKytSTR& originIP, int32_t nPort,
                        const cKytListSTR& codecList, cKytSTR& text) {
  uint32_t nSession = NewSessionId();
  return CreateSDP(originUser, directionAttribute, connectionIP, originIP, nPort, codecList,
                   nSession, nSession, text);
}

bool cMsgSDP::CreateSDP(const cKytSTR& originUser, const cKytSTR& directionAttribute,
                        const cKytSTR& connectionIP, const cKytSTR& originIP, int32_t nPort,
                        const cKytListSTR& codecList, uint32_t nSession, uint32_t nVersion,
                        cKytSTR& text) {
  for (auto& field : m_pFieldSDP) field.DeleteAll();
  m_nMagicNoiLBC = -1;
  // The origin's session id and version are digits only, unsigned.

  cKytSTR value;
  m_pFieldSDP[cListFieldSDP::FIELD_V].AddTailSTR("0");
  m_pFieldSDP[cListFieldSDP::FIELD_T].AddTailSTR("0 0");
  value.Format("%s %u %u IN %s %s", originUser.GetDATA(), nSession, nVersion, AddressType(originIP),
               originIP.GetDATA());
  m_pFieldSDP[cListFieldSDP::FIELD_O].AddTail(value);
  m_pFieldSDP[cListFieldSDP::FIELD_S].AddTailSTR("KytSoft");

  cKytSTR payloads;
  for (int32_t i = 0; i < codecList.GetCount(); ++i) {
    cKytSTR entry;
    codecList.GetAt(i, entry);
    int32_t nCodec = CodecNumberOf(entry);
    if (nCodec < 0) continue;
    payloads.AppendSTR(" ");
    payloads.AppendSTR(m_pCodecPayload[nCodec]);
    value.Format("rtpmap:%s %s", m_pCodecPayload[nCodec], m_pCodecAttribute[nCodec]);
    m_pFieldSDP[cListFieldSDP::FIELD_A].AddTail(value);
    // The mode is always written (RFC 3952: without one the peer may assume 20 ms); 20 only when
    // answering an offer that asked for it.
    if (nCodec == CODEC_ILBC) {
      value.Format("fmtp:%s mode=%d", m_pCodecPayload[nCodec], m_nILBCModeMs);
      m_pFieldSDP[cListFieldSDP::FIELD_A].AddTail(value);
    }
  }
  value.Format("audio %d %s%s %s", nPort, m_Crypto.empty() ? "RTP/AVP" : "RTP/SAVP",
               payloads.GetDATA(), kDtmfPayload);
  m_pFieldSDP[cListFieldSDP::FIELD_M].AddTail(value);
  value.Format("IN %s %s", AddressType(connectionIP), connectionIP.GetDATA());
  m_pFieldSDP[cListFieldSDP::FIELD_C].AddTail(value);
  value.Format("rtpmap:%s telephone-event/8000", kDtmfPayload);
  m_pFieldSDP[cListFieldSDP::FIELD_A].AddTail(value);
  value.Format("fmtp:%s 0-16", kDtmfPayload);
  m_pFieldSDP[cListFieldSDP::FIELD_A].AddTail(value);
  for (const sCrypto& crypto : m_Crypto) {
    if (crypto.nSuite <= SUITE_NONE || crypto.nSuite > SUITE_AES_CM_128_HMAC_SHA1_32) continue;
    value.Format("crypto:%d %s inline:%s", crypto.nTag, kSuiteNames[crypto.nSuite],
                 cBase64::Encode(crypto.key).c_str());
    m_pFieldSDP[cListFieldSDP::FIELD_A].AddTail(value);
  }
  m_pFieldSDP[cListFieldSDP::FIELD_A].AddTail(directionAttribute);

  text = "";
  for (int32_t nField = 0; nField < cListFieldSDP::FIELD_COUNT; ++nField) {
    cKytSTR name;
    cListFieldSDP::IndexToField(nField, name);
    const cKytListSTR& field = m_pFieldSDP[nField];
    for (int32_t i = 0; i < field.GetCount(); ++i) {
      field.GetAt(i, value);
      cKytSTR line;
      line.Format("%s=%s\r\n", name.GetDATA(), value.GetDATA());
      text.AppendSTR(line.GetDATA());
    }
  }
  return true;
}

bool cMsgSDP::initWithPacketSDP(const cKytSTR& text) {
  for (auto& field : m_pFieldSDP) field.DeleteAll();
  uint32_t nPos = 0;
  uint32_t nLen = text.GetLEN();
  while (nPos < nLen) {
    uint32_t nEnd = text.FindSTR("\r\n", nPos);
    if (nEnd == cKytSTR::KYT_NOT_FOUND || nEnd == nPos) break;
    cKytSTR line = Slice(text, nPos, nEnd);
    nPos = nEnd + 2;
    uint32_t nEqual = line.FindSTR("=");
    if (nEqual == cKytSTR::KYT_NOT_FOUND) break;
    cKytSTR name = Slice(line, 0, nEqual);
    cKytSTR value = Slice(line, nEqual + 1, line.GetLEN());
    value.Trim(" ");
    int32_t nField = cListFieldSDP::FieldToIndex(name.GetDATA());
    if (nField >= 0) m_pFieldSDP[nField].AddTail(value);
  }
  m_nMagicNoiLBC = FindMagicNo(" ilbc/");
  m_nILBCModeMs = FindILBCMode();
  return true;
}

int32_t cMsgSDP::FindILBCMode() const {
  if (m_nMagicNoiLBC < 0) return kILBCMode30;
  const cKytListSTR& attributes = m_pFieldSDP[cListFieldSDP::FIELD_A];
  for (int32_t i = 0; i < attributes.GetCount(); ++i) {
    cKytSTR line;
    attributes.GetAt(i, line);
    if (SaysMode20(line, m_nMagicNoiLBC)) return kILBCMode20;
  }
  return kILBCMode30;
}

int32_t cMsgSDP::GetMagicNoDTMF() const { return FindMagicNo(" telephone-event/"); }

int32_t cMsgSDP::FindMagicNo(const char* pKey) const {
  const cKytListSTR& attributes = m_pFieldSDP[cListFieldSDP::FIELD_A];
  for (int32_t i = 0; i < attributes.GetCount(); ++i) {
    cKytSTR line;
    attributes.GetAt(i, line);
    line.MakeLower();
    if (line.FindSTR(pKey) == cKytSTR::KYT_NOT_FOUND) continue;
    uint32_t nColon = line.FindSTR(":");
    if (nColon == cKytSTR::KYT_NOT_FOUND) return -1;
    uint32_t nSpace = line.FindSTR(" ", nColon + 1);
    if (nSpace == cKytSTR::KYT_NOT_FOUND) return -1;
    return PayloadTypeOf(Slice(line, nColon + 1, nSpace));
  }
  return -1;
}

int32_t cMsgSDP::FindAudioLine(cKytSTR& line) const {
  const cKytListSTR& media = m_pFieldSDP[cListFieldSDP::FIELD_M];
  for (int32_t i = 0; i < media.GetCount(); ++i) {
    media.GetAt(i, line);
    cKytSTR head = Slice(line, 0, 5);
    if (Lowered(head).CompareTo("audio")) return i;
  }
  return -1;
}

bool cMsgSDP::GetAudioConnectionIP(cKytSTR& ip) const {
  const cKytListSTR& connections = m_pFieldSDP[cListFieldSDP::FIELD_C];
  cKytSTR line;
  if (connections.GetCount() == 1) {
    connections.GetAt(0, line);
  } else {
    cKytSTR audio;
    int32_t nAudio = FindAudioLine(audio);
    if (nAudio < 0 || !connections.GetAt(nAudio, line)) return false;
  }
  uint32_t nMark = line.FindSTR("IP4 ");
  if (nMark == cKytSTR::KYT_NOT_FOUND) nMark = line.FindSTR("IP6 ");
  if (nMark == cKytSTR::KYT_NOT_FOUND) return false;
  ip = Slice(line, nMark + 4, line.GetLEN());
  return true;
}

bool cMsgSDP::GetMediaAudio(int32_t& nPort, cKytListSTR& codecNumbers,
                            cKytListSTR& payloadNumbers) const {
  cKytSTR line;
  if (FindAudioLine(line) < 0) return false;
  cKytSTR lower = Lowered(line);
  uint32_t nMark = lower.FindSTR("audio ");
  if (nMark == cKytSTR::KYT_NOT_FOUND) return false;
  uint32_t nPortStart = nMark + 6;
  uint32_t nPortEnd = line.FindSTR(" ", nPortStart);
  if (nPortEnd == cKytSTR::KYT_NOT_FOUND) return false;
  uint32_t nSlash = line.FindSTR("/");
  if (nSlash == cKytSTR::KYT_NOT_FOUND) return false;
  // A port of 0 declines the stream; anything outside the port range cannot be sent to.
  int32_t nValue = PortOf(Slice(line, nPortStart, nPortEnd));
  if (nValue < 0) return false;
  nPort = nValue;

  cKytSTR iLBC = cKytSTR::IntToStr(m_nMagicNoiLBC);
  uint32_t nPos = nSlash + 1;
  uint32_t nLen = line.GetLEN();
  while (nPos < nLen) {
    uint32_t nEnd = line.FindSTR(" ", nPos);
    if (nEnd == cKytSTR::KYT_NOT_FOUND) nEnd = nLen;
    cKytSTR token = Slice(line, nPos, nEnd);
    nPos = nEnd + 1;
    int32_t nCodec = -1;
    if (m_nMagicNoiLBC >= 0 && token.CompareTo(iLBC.GetDATA())) {
      nCodec = CODEC_ILBC;
    } else {
      for (int32_t n = 0; n < CODEC_ILBC; ++n) {
        if (token.CompareTo(m_pCodecPayload[n])) nCodec = n;
      }
    }
    if (nCodec < 0) continue;
    payloadNumbers.AddTail(token);
    codecNumbers.AddTail(cKytSTR::IntToStr(nCodec));
  }
  return true;
}

bool cMsgSDP::IsSecureAudio() const {
  cKytSTR line;
  if (FindAudioLine(line) < 0) return false;
  const std::vector<std::string_view> words =
      Words(std::string_view(line.GetDATA(), line.GetLEN()));
  return words.size() > 2 && words[2] == "RTP/SAVP";
}

std::vector<cMsgSDP::sCrypto> cMsgSDP::GetCrypto() const {
  std::vector<sCrypto> lines;
  const cKytListSTR& attributes = m_pFieldSDP[cListFieldSDP::FIELD_A];
  for (int32_t i = 0; i < attributes.GetCount(); ++i) {
    cKytSTR attribute;
    sCrypto crypto;
    if (attributes.GetAt(i, attribute) && ParseCrypto(attribute, crypto)) lines.push_back(crypto);
  }
  return lines;
}

bool cMsgSDP::ParseCrypto(const cKytSTR& attribute, sCrypto& crypto) {
  constexpr std::string_view kHead = "crypto:";
  const std::string_view line(attribute.GetDATA(), attribute.GetLEN());
  if (line.substr(0, kHead.size()) != kHead) return false;
  // Tag, suite and one key parameter; session parameters ask for what we do not do.
  const std::vector<std::string_view> words = Words(line.substr(kHead.size()));
  uint64_t nTag = 0;
  if (words.size() != 3 || !DigitsOf(words[0], 9, nTag)) return false;
  int32_t nSuite = SUITE_NONE;
  for (int32_t n = SUITE_AES_CM_128_HMAC_SHA1_80; n <= SUITE_AES_CM_128_HMAC_SHA1_32; ++n) {
    if (words[1] == kSuiteNames[n]) nSuite = n;
  }
  constexpr std::string_view kInline = "inline:";
  std::string_view keyParams = words[2];
  // Several keys (';') are not honoured.
  if (nSuite == SUITE_NONE || keyParams.substr(0, kInline.size()) != kInline ||
      keyParams.find(';') != std::string_view::npos) {
    return false;
  }
  keyParams = keyParams.substr(kInline.size());
  // After the key, '|' and a lifetime, then '|' and a master key identifier, each optional.
  const size_t nBar = keyParams.find('|');
  std::string_view extra =
      nBar == std::string_view::npos ? std::string_view() : keyParams.substr(nBar + 1);
  const size_t nSecondBar = extra.find('|');
  if (nBar != std::string_view::npos &&
      extra.substr(0, nSecondBar).find(':') == std::string_view::npos) {
    if (!IsLifetime(extra.substr(0, nSecondBar))) return false;
    extra =
        nSecondBar == std::string_view::npos ? std::string_view() : extra.substr(nSecondBar + 1);
    if (nSecondBar != std::string_view::npos && extra.empty()) return false;
  }
  crypto.mki.clear();
  if (!extra.empty() && !ParseMki(extra, crypto.mki)) return false;
  if (!DecodeKey(keyParams.substr(0, nBar), crypto.key)) return false;
  crypto.nTag = static_cast<int32_t>(nTag);
  crypto.nSuite = nSuite;
  return true;
}

bool cMsgSDP::GetHoldAttrib(cKytSTR& attribute) const {
  const cKytListSTR& attributes = m_pFieldSDP[cListFieldSDP::FIELD_A];
  for (int32_t i = 0; i < attributes.GetCount(); ++i) {
    cKytSTR line;
    attributes.GetAt(i, line);
    line.MakeLower();
    for (const char* pDirection : {"recvonly", "sendonly", "inactive"}) {
      if (line.FindSTR(pDirection) != cKytSTR::KYT_NOT_FOUND) {
        attribute = pDirection;
        return true;
      }
    }
  }
  return false;
}

bool cMsgSDP::IsRemoteHold() const {
  cKytSTR direction;
  if (GetHoldAttrib(direction) && !direction.CompareTo("recvonly")) return true;
  cKytSTR ip;
  return GetAudioConnectionIP(ip) && ip.CompareTo("0.0.0.0");
}
