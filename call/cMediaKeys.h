#pragma once

#include <cstdint>
#include <vector>

#include "call/cMsgSDP.h"
#include "util/cKytNoCopy.h"

// The SRTP keys of one call's audio as agreed in its session descriptions (SDES, RFC 4568):
// the a=crypto lines our next description carries, and the suite and key of each direction
// once an offer and its answer have met. Each side announces the key it sends with; every new
// offer or answer of ours carries a fresh key from the system's cryptographic generator.
class cMediaKeys : private cKytNoCopy {
 public:
  enum eAnswer : int32_t { ANSWER_PLAIN, ANSWER_SRTP, ANSWER_REFUSE };

  cMediaKeys() = default;
  ~cMediaKeys();

  // Our offer will be plain RTP/AVP.
  void OfferPlain();
  // Our offer carries both suites (RFC 4568 section 6.1), each with a fresh key; kept until the
  // answer comes.
  void OfferSecure();
  // The answer to a remote offer: SRTP with the offer's first line we can honour, keyed afresh
  // under the same tag (a re-offer repeating the line in use keeps both keys); plain for a plain
  // offer when bPlainAllowed; refused (488) when an RTP/SAVP offer has no line we can honour or a
  // plain one is not allowed. The keys of both directions are agreed at once.
  eAnswer AnswerOffer(const cMsgSDP& offer, bool bPlainAllowed);
  // The answer to our last offer: true when it agrees (plain to a plain offer, or one line
  // with an offered tag and suite to a secure one); the keys of both directions follow it.
  bool TakeAnswer(const cMsgSDP& answer);

  // The a=crypto lines of our next description (none: plain).
  const std::vector<cMsgSDP::sCrypto>& OurLines() const { return m_OurLines; }
  bool IsSecure() const { return m_Send.nSuite != cMsgSDP::SUITE_NONE; }
  const cMsgSDP::sCrypto& Send() const { return m_Send; }
  const cMsgSDP::sCrypto& Receive() const { return m_Receive; }

 private:
  static cMsgSDP::sCrypto Fresh(int32_t nTag, int32_t nSuite);
  void Agree(const cMsgSDP::sCrypto& send, const cMsgSDP::sCrypto& receive);

  std::vector<cMsgSDP::sCrypto> m_OurLines;
  cMsgSDP::sCrypto m_Send;
  cMsgSDP::sCrypto m_Receive;
  int32_t m_nNextTag = 1;
};
