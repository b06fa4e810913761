#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <utility>

#include "sip/SipStatus.h"
#include "sip/cListFieldSIP.h"
#include "sip/eTransportSIP.h"
#include "util/cKytListSTR.h"
#include "util/cKytNoCopy.h"
#include "util/cKytSTR.h"

// One SIP request or response, filled by parsing a datagram or by a builder, rendered to text
// for sending. Only the headers of cListFieldSIP are kept. Main thread only.
class cMsgSIP : private cKytNoCopy {
 public:
  cMsgSIP();  // empty message: no headers, status -1, not a request

  // Parses a received datagram; nothing when it is not a SIP message (no blank line after the
  // head, an empty or malformed start line).
  static std::unique_ptr<cMsgSIP> initWithPacketSIP(const cKytSTR& packet);

  // Renders the message: start line, the headers in row order with exactly one Content-Length
  // (the body's length), a blank line and the body.
  void GetMsgText(cKytSTR& text) const;

  // Start line. A built message with a method and no status code renders as a request; a
  // parsed message renders as what it was.
  void SetMethod(const cKytSTR& method);
  void GetMethod(cKytSTR& method) const { method = m_pMethodSIP; }
  void SetRequestURI(const cKytSTR& uri) { m_pReqURI = uri; }
  void GetRequestURI(cKytSTR& uri) const { uri = m_pReqURI; }
  void SetStatusCode(int32_t nStatusCode);
  int32_t GetStatusCode() const { return m_nStatusCode; }
  void SetReasonPhrase(const cKytSTR& reason) { m_pReasonPhrase = reason; }
  void GetReasonPhrase(cKytSTR& reason) const { reason = m_pReasonPhrase; }
  bool IsRequest() const { return m_bIsReqSIP; }

  // Body (SDP, XML or plain text alike).
  void SetBodySDP(const cKytSTR& body) { m_pMsgSDP = body; }
  bool GetBodySDP(cKytSTR& body) const;

  // Header rows. A setter appends one value; a single-value getter copies the first value and
  // answers false when the header is absent.
  void SetVia(const cKytSTR& host, int32_t nPort, const cKytSTR& branch,
              eTransportSIP transport = eTransportSIP::UDP);
  void SetVia(const cKytListSTR& values);
  bool GetVia(cKytListSTR& values) const;
  void SetRecordRoute(const cKytListSTR& values);
  // One entry per route value: values joined by commas on one line are split apart.
  bool GetRecordRoute(cKytListSTR& values) const;
  void SetRoute(const cKytListSTR& values);
  void SetFrom(const cKytSTR& value) { Add(cListFieldSIP::FIELD_FROM, value); }
  bool GetFrom(cKytSTR& value) const { return First(cListFieldSIP::FIELD_FROM, value); }
  void SetTo(const cKytSTR& value) { Add(cListFieldSIP::FIELD_TO, value); }
  bool GetTo(cKytSTR& value) const { return First(cListFieldSIP::FIELD_TO, value); }
  void SetContact(const cKytSTR& value) { Add(cListFieldSIP::FIELD_CONTACT, value); }
  bool GetContact(cKytSTR& value) const { return First(cListFieldSIP::FIELD_CONTACT, value); }
  void SetCallId(const cKytSTR& value) { Add(cListFieldSIP::FIELD_CALL_ID, value); }
  bool GetCallId(cKytSTR& value) const { return First(cListFieldSIP::FIELD_CALL_ID, value); }
  void SetCSeq(const cKytSTR& value) { Add(cListFieldSIP::FIELD_CSEQ, value); }
  bool GetCSeq(cKytSTR& value) const { return First(cListFieldSIP::FIELD_CSEQ, value); }
  void SetMaxForward(const cKytSTR& value) { Add(cListFieldSIP::FIELD_MAX_FORWARDS, value); }
  bool GetMaxForward(cKytSTR& value) const {
    return First(cListFieldSIP::FIELD_MAX_FORWARDS, value);
  }
  void SetContentType(const cKytSTR& value) { Add(cListFieldSIP::FIELD_CONTENT_TYPE, value); }
  bool GetContentType(cKytSTR& value) const {
    return First(cListFieldSIP::FIELD_CONTENT_TYPE, value);
  }
  // Writes the process-wide override instead of the given default when one is set.
  void SetUserAgent(const cKytSTR& defaultValue);
  bool GetUserAgent(cKytSTR& value) const { return First(cListFieldSIP::FIELD_USER_AGENT, value); }
  void SetExpires(int32_t nExpires);
  int32_t GetExpires() const;  // -1 when absent
  void SetAllow(const cKytSTR& value) { Add(cListFieldSIP::FIELD_ALLOW, value); }
  bool GetAllow(cKytSTR& value) const { return First(cListFieldSIP::FIELD_ALLOW, value); }
  void SetAccept(const cKytSTR& value) { Add(cListFieldSIP::FIELD_ACCEPT, value); }
  bool GetAccept(cKytSTR& value) const { return First(cListFieldSIP::FIELD_ACCEPT, value); }
  void SetAuthorization(const cKytSTR& value) { Add(cListFieldSIP::FIELD_AUTHORIZATION, value); }
  void SetProxyAuthorization(const cKytSTR& value) {
    Add(cListFieldSIP::FIELD_PROXY_AUTHORIZATION, value);
  }
  bool GetAuthWWW(cKytSTR& value) const {
    return First(cListFieldSIP::FIELD_WWW_AUTHENTICATE, value);
  }
  bool GetAuthPROXY(cKytSTR& value) const {
    return First(cListFieldSIP::FIELD_PROXY_AUTHENTICATE, value);
  }
  void SetReferTo(const cKytSTR& value) { Add(cListFieldSIP::FIELD_REFER_TO, value); }
  void ReferredBy(const cKytSTR& value) { Add(cListFieldSIP::FIELD_REFERRED_BY, value); }
  void SetEvent(const cKytSTR& value) { Add(cListFieldSIP::FIELD_EVENT, value); }
  bool GetEvent(cKytSTR& value) const { return First(cListFieldSIP::FIELD_EVENT, value); }
  bool GetRequire(cKytSTR& value) const { return First(cListFieldSIP::FIELD_REQUIRE, value); }
  void SetUnsupported(const cKytSTR& value) { Add(cListFieldSIP::FIELD_UNSUPPORTED, value); }
  void SetSubscriptionState(const cKytSTR& value) {
    Add(cListFieldSIP::FIELD_SUBSCRIPTION_STATE, value);
  }
  bool GetSubscriptionState(cKytSTR& value) const {
    return First(cListFieldSIP::FIELD_SUBSCRIPTION_STATE, value);
  }
  // The "expires=" parameter of the first Contact: 0 without Contact, -1 when the parameter is
  // missing or 0.
  int32_t GetContactExpires() const;

  // The application's User-Agent text, shared by every message of the process.
  static void SetKytUserAgent(const cKytSTR& value);
  static void GetKytUserAgent(cKytSTR& value);

  // Classification by exact method text (for a response, the method of its CSeq).
  bool Is_INVITE_Req() const { return IsReqOf("INVITE"); }
  bool Is_OPTIONS_Req() const { return IsReqOf("OPTIONS"); }
  bool Is_NOTIFY_Req() const { return IsReqOf("NOTIFY"); }
  bool Is_CANCEL_Req() const { return IsReqOf("CANCEL"); }
  bool Is_BYE_Req() const { return IsReqOf("BYE"); }
  bool Is_ACK_Req() const { return IsReqOf("ACK"); }
  bool Is_INFO_Req() const { return IsReqOf("INFO"); }
  bool Is_MESSAGE_Req() const { return IsReqOf("MESSAGE"); }
  bool Is_SUBSCRIBE_Req() const { return IsReqOf("SUBSCRIBE"); }
  bool Is_Rep_For(const char* pMethod) const { return m_pMethodSIP.CompareTo(pMethod); }
  bool Is_Status_1XX() const { return IsStatusIn(100); }
  bool Is_Status_2XX() const { return IsStatusIn(200); }
  bool Is_Status_3XX() const { return IsStatusIn(300); }
  bool Is_Status_4XX() const { return IsStatusIn(400); }
  bool Is_Status_5XX() const { return IsStatusIn(500); }
  bool Is_Status_6XX() const { return IsStatusIn(600); }
  bool Is_Rep_Trying() const { return m_nStatusCode == kSipTrying; }
  bool Is_Rep_Ringing() const { return m_nStatusCode == kSipRinging; }
  bool Is_Rep_SessionProgress() const { return m_nStatusCode == kSipSessionProgress; }

 private:
  // Strips spaces and tabs at both ends.
  static void TrimBlanks(cKytSTR& text);
  void AddHeader(const cKytSTR& name, const cKytSTR& value);
  bool ParseSIP(const cKytSTR& head);
  bool ParseStartLine(const cKytSTR& line);
  void Add(int32_t nRow, const cKytSTR& value) { m_pFieldSIP[nRow].AddTail(value); }
  void CopyRow(const cKytListSTR& values, int32_t nRow);
  bool CopyOut(int32_t nRow, cKytListSTR& values) const;
  bool First(int32_t nRow, cKytSTR& value) const { return m_pFieldSIP[nRow].GetHead(value); }
  bool IsReqOf(const char* pMethod) const { return m_pMethodSIP.CompareTo(pMethod); }
  bool IsStatusIn(int32_t nBase) const {
    return m_nStatusCode >= nBase && m_nStatusCode < nBase + 100;
  }

  std::array<cKytListSTR, cListFieldSIP::FIELD_COUNT> m_pFieldSIP;
  bool m_bIsReqSIP = false;
  cKytSTR m_pMethodSIP;
  cKytSTR m_pReqURI;
  int32_t m_nStatusCode = -1;
  cKytSTR m_pReasonPhrase;
  cKytSTR m_pMsgSDP;
};
