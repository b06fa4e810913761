#include "call/cMediaKeys.h"

#include "platform/cRandom.h"

namespace {

void Wipe(cMsgSDP::sCrypto& crypto) {
  // Through a volatile pointer, so that wiping a key about to be freed is not left out.
  volatile uint8_t* p = crypto.key.data();
  for (size_t i = 0; i < crypto.key.size(); ++i) p[i] = 0;
  crypto.nSuite = cMsgSDP::SUITE_NONE;
}

bool SameLine(const cMsgSDP::sCrypto& a, const cMsgSDP::sCrypto& b) {
  return a.nTag == b.nTag && a.nSuite == b.nSuite && a.key == b.key && a.mki == b.mki;
}

}  // namespace

cMediaKeys::~cMediaKeys() {
  for (cMsgSDP::sCrypto& line : m_OurLines) Wipe(line);
  Wipe(m_Send);
  Wipe(m_Receive);
}

cMsgSDP::sCrypto cMediaKeys::Fresh(int32_t nTag, int32_t nSuite) {
  cMsgSDP::sCrypto crypto;
  crypto.nTag = nTag;
  crypto.nSuite = nSuite;
  cRandom::Fill(crypto.key.data(), crypto.key.size());
  return crypto;
}

void cMediaKeys::Agree(const cMsgSDP::sCrypto& send, const cMsgSDP::sCrypto& receive) {
  m_Send = send;
  m_Receive = receive;
}

void cMediaKeys::OfferPlain() { m_OurLines.clear(); }

void cMediaKeys::OfferSecure() {
  m_OurLines = {Fresh(m_nNextTag, cMsgSDP::SUITE_AES_CM_128_HMAC_SHA1_80),
                Fresh(m_nNextTag + 1, cMsgSDP::SUITE_AES_CM_128_HMAC_SHA1_32)};
  m_nNextTag += 2;
}

cMediaKeys::eAnswer cMediaKeys::AnswerOffer(const cMsgSDP& offer, bool bPlainAllowed) {
  m_OurLines.clear();
  if (!offer.IsSecureAudio()) {
    if (!bPlainAllowed) return ANSWER_REFUSE;
    Agree(cMsgSDP::sCrypto(), cMsgSDP::sCrypto());
    return ANSWER_PLAIN;
  }
  const std::vector<cMsgSDP::sCrypto> lines = offer.GetCrypto();
  if (lines.empty()) return ANSWER_REFUSE;
  // A re-offer repeating the line now in use keeps the running crypto context (RFC 4568
  // section 7.1.4): our answer repeats ours, and neither side re-keys.
  for (const cMsgSDP::sCrypto& line : lines) {
    if (IsSecure() && SameLine(line, m_Receive) && line.nTag == m_Send.nTag) {
      m_OurLines.push_back(m_Send);
      return ANSWER_SRTP;
    }
  }
  // The offerer lists the lines in its order of preference (RFC 4568 section 7.1.2).
  m_OurLines.push_back(Fresh(lines.front().nTag, lines.front().nSuite));
  Agree(m_OurLines.front(), lines.front());
  return ANSWER_SRTP;
}

bool cMediaKeys::TakeAnswer(const cMsgSDP& answer) {
  if (m_OurLines.empty()) {
    Agree(cMsgSDP::sCrypto(), cMsgSDP::sCrypto());
    return !answer.IsSecureAudio();
  }
  const std::vector<cMsgSDP::sCrypto> lines = answer.GetCrypto();
  if (!answer.IsSecureAudio() || lines.size() != 1) return false;
  for (const cMsgSDP::sCrypto& ours : m_OurLines) {
    if (ours.nTag == lines.front().nTag && ours.nSuite == lines.front().nSuite) {
      Agree(ours, lines.front());
      return true;
    }
  }
  return false;
}
