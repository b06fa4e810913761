#include "sip/cMsgSIP.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "sip/cCSeq.h"
#include "sip/cParseLineSIP.h"
#include "sip/cTextSIP.h"
#include "sip/cVia.h"

namespace {

// The application's User-Agent text; empty until the application sets one.
cKytSTR& KytUserAgent() {
  static cKytSTR s_UserAgent;
  return s_UserAgent;
}

// Adds each comma-separated value of one header line to values; commas inside angle brackets or
// quotes belong to the value.
void SplitValues(const cKytSTR& line, cKytListSTR& values) {
  const char* pText = line.GetDATA();
  uint32_t nLen = line.GetLEN();
  bool bQuoted = false;
  bool bBracketed = false;
  uint32_t nStart = 0;
  for (uint32_t i = 0; i <= nLen; ++i) {
    char c = i < nLen ? pText[i] : ',';
    if (c == '"' && !bBracketed) bQuoted = !bQuoted;
    if (bQuoted) continue;
    if (c == '<') bBracketed = true;
    if (c == '>') bBracketed = false;
    if (c != ',' || (bBracketed && i < nLen)) continue;
    cKytSTR value;
    cTextSIP::Mid(line, nStart, i, value);
    value.Trim(" ");
    value.Trim("\t");
    if (!value.IsZeroLEN()) values.AddTail(value);
    nStart = i + 1;
  }
}

// Each row's "Name: ", written once: rendering then copies known lengths instead of measuring
// the same names for every message.
const std::array<cKytSTR, cListFieldSIP::FIELD_COUNT>& RowPrefixes() {
  static const std::array<cKytSTR, cListFieldSIP::FIELD_COUNT> prefixes = [] {
    std::array<cKytSTR, cListFieldSIP::FIELD_COUNT> out;
    for (int32_t nRow = 0; nRow < cListFieldSIP::FIELD_COUNT; ++nRow) {
      cListFieldSIP::IndexToField(nRow, out[static_cast<size_t>(nRow)]);
      out[static_cast<size_t>(nRow)].AppendSTR(": ");
    }
    return out;
  }();
  return prefixes;
}

}  // namespace

cMsgSIP::cMsgSIP() = default;

std::unique_ptr<cMsgSIP> cMsgSIP::initWithPacketSIP(const cKytSTR& packet) {
  uint32_t nBlank = packet.FindSTR("\r\n\r\n");
  if (nBlank == cKytSTR::KYT_NOT_FOUND) return nullptr;

  // The line reader stops at the first empty line, which is the one found above.
  auto pMsg = std::make_unique<cMsgSIP>();
  if (!pMsg->ParseSIP(packet)) return nullptr;

  // With a Content-Length the body is exactly that many bytes: a datagram shorter than it is
  // discarded, and bytes beyond it are not part of the message (RFC 3261 section 18.3).
  const uint32_t nBodyStart = nBlank + 4;
  cKytSTR length;
  if (pMsg->First(cListFieldSIP::FIELD_CONTENT_LENGTH, length)) {
    const char* pDigits = length.GetDATA();
    const char* pDigitsEnd = pDigits + length.GetLEN();
    uint64_t nLength = 0;
    auto [pEnd, ec] = std::from_chars(pDigits, pDigitsEnd, nLength);
    if (ec != std::errc() || pEnd != pDigitsEnd || nLength > packet.GetLEN() - nBodyStart)
      return nullptr;
    cTextSIP::Mid(packet, nBodyStart, nBodyStart + static_cast<uint32_t>(nLength), pMsg->m_pMsgSDP);
    return pMsg;
  }
  // Without one, the body is everything after the blank line. Surrounding blank lines go, one
  // closing CRLF stays.
  cKytSTR body;
  cTextSIP::From(packet, nBodyStart, body);
  body.TrimLEFT("\r\n");
  if (body.TrimRIGHT("\r\n") && !body.IsZeroLEN()) body.AppendSTR("\r\n");
  pMsg->m_pMsgSDP = std::move(body);
  return pMsg;
}

bool cMsgSIP::ParseSIP(const cKytSTR& head) {
  cParseLineSIP lines(head);
  cKytSTR line;
  if (!lines.ReadLine(line) || !ParseStartLine(line)) return false;

  // A header is kept until the next line shows it is not folded onto further lines.
  cKytSTR name;
  cKytSTR value;
  bool bPending = false;
  while (lines.ReadLine(line)) {
    char cFirst = line.GetDATA()[0];
    if (bPending && (cFirst == ' ' || cFirst == '\t')) {
      // A continuation of blanks only adds nothing, not a trailing blank.
      TrimBlanks(line);
      if (line.IsZeroLEN()) continue;
      if (!value.IsZeroLEN()) value.AppendSTR(" ");
      value.AppendSTR(line.GetDATA());
      continue;
    }
    if (bPending) AddHeader(name, value);
    bPending = false;
    uint32_t nColon = line.FindSTR(":");
    if (nColon == cKytSTR::KYT_NOT_FOUND) break;  // the rest of the head is not headers
    cTextSIP::Mid(line, 0, nColon, name);
    cTextSIP::From(line, nColon + 1, value);
    // Blanks may stand before the colon and after it.
    TrimBlanks(name);
    TrimBlanks(value);
    bPending = true;
  }
  if (bPending) AddHeader(name, value);

  if (!m_bIsReqSIP) {
    cKytSTR cseq;
    cKytSTR method;
    cKytSTR number;
    if (GetCSeq(cseq) && cCSeq::Parse(cseq, method, number)) m_pMethodSIP = method;
  }
  return true;
}

void cMsgSIP::TrimBlanks(cKytSTR& text) {
  // Both kinds, in any mix, at each end.
  const char* pText = text.GetDATA();
  uint32_t nStart = 0;
  uint32_t nEnd = text.GetLEN();
  while (nStart < nEnd && (pText[nStart] == ' ' || pText[nStart] == '\t')) ++nStart;
  while (nEnd > nStart && (pText[nEnd - 1] == ' ' || pText[nEnd - 1] == '\t')) --nEnd;
  if (nStart == 0 && nEnd == text.GetLEN()) return;
  cTextSIP::Mid(text, nStart, nEnd, text);
}

void cMsgSIP::AddHeader(const cKytSTR& name, const cKytSTR& value) {
  int32_t nRow = cListFieldSIP::FieldToIndex(name.GetDATA());
  if (nRow >= 0) Add(nRow, value);
}

bool cMsgSIP::ParseStartLine(const cKytSTR& line) {
  uint32_t nFirst = line.FindSTR(" ");
  if (nFirst == cKytSTR::KYT_NOT_FOUND) return false;
  uint32_t nSecond = line.FindSTR(" ", nFirst + 1);
  if (nSecond == cKytSTR::KYT_NOT_FOUND) return false;

  cKytSTR first;
  cKytSTR second;
  cKytSTR rest;
  cTextSIP::Mid(line, 0, nFirst, first);
  cTextSIP::Mid(line, nFirst + 1, nSecond, second);
  cTextSIP::From(line, nSecond + 1, rest);

  m_bIsReqSIP = cKytSTR::StrFind(line.GetDATA(), "SIP/") != 0;
  if (m_bIsReqSIP) {
    // Methods are case-sensitive: "invite" is some other method, not INVITE.
    m_pMethodSIP = std::move(first);
    m_pReqURI = std::move(second);
  } else {
    m_nStatusCode = cTextSIP::ToInt(second.GetDATA());
    // A status code is digits: a negative one is no response (and would render as a request).
    if (m_nStatusCode < 0) return false;
    m_pReasonPhrase = std::move(rest);
  }
  return true;
}

void cMsgSIP::GetMsgText(cKytSTR& text) const {
  // A parsed response keeps its CSeq method, so the kind of start line follows the message's
  // origin rather than the method alone.
  const bool bRequest = m_bIsReqSIP || (m_nStatusCode < 0 && !m_pMethodSIP.IsZeroLEN());
  char status[16] = {};
  std::to_chars(status, status + sizeof(status) - 1, m_nStatusCode);
  char length[16] = {};
  std::to_chars(length, length + sizeof(length) - 1, m_pMsgSDP.GetLEN());

  // Walked twice, first to size the one buffer and then to fill it: a head of many lines must
  // not cost a copy per line.
  const std::array<cKytSTR, cListFieldSIP::FIELD_COUNT>& prefixes = RowPrefixes();
  static const cKytSTR s_LineEnd("\r\n");
  cKytSTR value;
  uint64_t nSize = 0;
  for (bool bWrite : {false, true}) {
    if (bWrite) {
      text = "";
      text.Reserve(static_cast<uint32_t>(std::min<uint64_t>(nSize, UINT32_MAX - 1)));
    }
    const auto put = [&](const cKytSTR& part) {
      if (bWrite) {
        text.AppendSTR(part);
      } else {
        nSize += part.GetLEN();
      }
    };
    const auto putText = [&](const char* pText) {
      if (bWrite) {
        text.AppendSTR(pText);
      } else {
        nSize += cKytSTR::StrLen(pText);
      }
    };
    if (bRequest) {
      put(m_pMethodSIP);
      putText(" ");
      put(m_pReqURI);
      putText(" SIP/2.0\r\n");
    } else {
      putText("SIP/2.0 ");
      putText(status);
      putText(" ");
      put(m_pReasonPhrase);
      put(s_LineEnd);
    }
    for (int32_t nRow = 0; nRow < cListFieldSIP::FIELD_COUNT; ++nRow) {
      const cKytSTR& prefix = prefixes[static_cast<size_t>(nRow)];
      if (nRow == cListFieldSIP::FIELD_CONTENT_LENGTH) {
        // Exactly one Content-Length, and always the real one.
        put(prefix);
        putText(length);
        put(s_LineEnd);
        continue;
      }
      const int32_t nCount = m_pFieldSIP[nRow].GetCount();
      for (int32_t i = 0; i < nCount; ++i) {
        if (!m_pFieldSIP[nRow].GetAt(i, value)) break;
        put(prefix);
        put(value);
        put(s_LineEnd);
      }
    }
    put(s_LineEnd);
    put(m_pMsgSDP);
  }
}

void cMsgSIP::SetMethod(const cKytSTR& method) { m_pMethodSIP = method; }

void cMsgSIP::SetStatusCode(int32_t nStatusCode) { m_nStatusCode = nStatusCode; }

bool cMsgSIP::GetBodySDP(cKytSTR& body) const {
  body = m_pMsgSDP;
  return !body.IsZeroLEN();
}

void cMsgSIP::SetVia(const cKytSTR& host, int32_t nPort, const cKytSTR& branch,
                     eTransportSIP transport) {
  cKytSTR value;
  cVia::Construct(host, nPort, branch, value, transport);
  Add(cListFieldSIP::FIELD_VIA, value);
}

void cMsgSIP::SetVia(const cKytListSTR& values) { CopyRow(values, cListFieldSIP::FIELD_VIA); }

bool cMsgSIP::GetVia(cKytListSTR& values) const {
  return CopyOut(cListFieldSIP::FIELD_VIA, values);
}

void cMsgSIP::SetRecordRoute(const cKytListSTR& values) {
  CopyRow(values, cListFieldSIP::FIELD_RECORD_ROUTE);
}

bool cMsgSIP::GetRecordRoute(cKytListSTR& values) const {
  const int32_t nRow = cListFieldSIP::FIELD_RECORD_ROUTE;
  int32_t nCount = m_pFieldSIP[nRow].GetCount();
  cKytSTR line;
  for (int32_t i = 0; i < nCount; ++i) {
    if (m_pFieldSIP[nRow].GetAt(i, line)) SplitValues(line, values);
  }
  return nCount > 0;
}

void cMsgSIP::SetRoute(const cKytListSTR& values) { CopyRow(values, cListFieldSIP::FIELD_ROUTE); }

void cMsgSIP::CopyRow(const cKytListSTR& values, int32_t nRow) {
  int32_t nCount = values.GetCount();
  cKytSTR value;
  for (int32_t i = 0; i < nCount; ++i) {
    if (values.GetAt(i, value)) Add(nRow, value);
  }
}

bool cMsgSIP::CopyOut(int32_t nRow, cKytListSTR& values) const {
  int32_t nCount = m_pFieldSIP[nRow].GetCount();
  cKytSTR value;
  for (int32_t i = 0; i < nCount; ++i) {
    if (m_pFieldSIP[nRow].GetAt(i, value)) values.AddTail(value);
  }
  return nCount > 0;
}

void cMsgSIP::SetUserAgent(const cKytSTR& defaultValue) {
  const cKytSTR& override = KytUserAgent();
  Add(cListFieldSIP::FIELD_USER_AGENT, override.IsZeroLEN() ? defaultValue : override);
}

void cMsgSIP::SetExpires(int32_t nExpires) {
  Add(cListFieldSIP::FIELD_EXPIRES, cKytSTR::IntToStr(nExpires));
}

int32_t cMsgSIP::GetExpires() const {
  cKytSTR value;
  if (!First(cListFieldSIP::FIELD_EXPIRES, value)) return -1;
  return cTextSIP::ToInt(value.GetDATA());
}

int32_t cMsgSIP::GetContactExpires() const {
  cKytSTR contact;
  if (!GetContact(contact)) return 0;
  contact.MakeLower();
  uint32_t nAt = contact.FindSTR("expires=");
  if (nAt == cKytSTR::KYT_NOT_FOUND) return -1;
  cKytSTR value;
  uint32_t nStart = nAt + 8;
  uint32_t nEnd = contact.FindSTR(";", nStart);
  cTextSIP::Mid(contact, nStart, nEnd == cKytSTR::KYT_NOT_FOUND ? contact.GetLEN() : nEnd, value);
  int32_t nExpires = cTextSIP::ToInt(value.GetDATA());
  return nExpires == 0 ? -1 : nExpires;
}

void cMsgSIP::SetKytUserAgent(const cKytSTR& value) { KytUserAgent() = value; }

void cMsgSIP::GetKytUserAgent(cKytSTR& value) { value = KytUserAgent(); }
