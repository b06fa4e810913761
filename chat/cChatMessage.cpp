#include "chat/cChatMessage.h"

#include "chat/cChatSIP.h"
#include "chat/cObjMESSAGE.h"
#include "sip/SipStatus.h"
#include "sip/cAuth.h"
#include "sip/cCSeq.h"
#include "sip/cFailOverSIP.h"
#include "sip/cKytEventSink.h"
#include "sip/cMsgSIP.h"
#include "sip/cPacketSIP.h"
#include "sip/cTextSIP.h"
#include "sip/cURI.h"
#include "util/eKytError.h"

namespace {

bool UserOf(const cKytSTR& value, cKytSTR& user) {
  cKytSTR displayName, host;
  int32_t nPort = 0;
  return cURI::Parse(value, displayName, user, host, nPort);
}

bool SeqNoOf(const cMsgSIP& msg, cKytSTR& number) {
  cKytSTR cseq, method;
  return msg.GetCSeq(cseq) && cCSeq::Parse(cseq, method, number);
}

bool IsTyping(const cChatMessageTickData& data) {
  return data.m_nMessageType == cObjMESSAGE::KIND_TYPING;
}

}  // namespace

cChatMessage::cChatMessage(cChatSIP* pChatSIP)
    : m_pChatSIP(pChatSIP), m_pObjMESSAGE(std::make_unique<cObjMESSAGE>(pChatSIP)) {}

cChatMessage::~cChatMessage() = default;

void cChatMessage::ResetOBJ() { m_pObjMESSAGE->ResetOBJ(); }

bool cChatMessage::SendMsgText(const cKytSTR& userName, const cKytSTR& text, int32_t nKind,
                               int32_t nUserValue) {
  int32_t nSentKind =
      nKind == cObjMESSAGE::KIND_TEXT ? cObjMESSAGE::KIND_TEXT : cObjMESSAGE::KIND_HTML;
  return SendReqMESSAGE(userName, "", "", text, nSentKind, nUserValue, 0);
}

bool cChatMessage::SendMsgTyping(const cKytSTR& userName, int32_t nUserValue) {
  return SendReqMESSAGE(userName, "", "", "", cObjMESSAGE::KIND_TYPING, nUserValue, 0);
}

bool cChatMessage::SendReqMESSAGE(const cKytSTR& userName, const cKytSTR& authorization,
                                  const cKytSTR& proxyAuthorization, const cKytSTR& text,
                                  int32_t nKind, int32_t nUserValue, int32_t nAuthCount) {
  auto pData = std::make_unique<cChatMessageTickData>();
  if (!m_pObjMESSAGE->PrepareReqMESSAGE(userName, authorization, proxyAuthorization, text, nKind,
                                        pData->m_nSeqNo, pData->m_pToIP, pData->m_nToPort,
                                        pData->m_pTickData)) {
    m_nObjectError = kErrBuildMessage;
    return false;
  }
  // The key names the addressee the way its response's To will be read.
  cKytSTR to, keyUser;
  m_pChatSIP->PrepareToURI(userName, to);
  UserOf(to, keyUser);
  pData->m_pUniqueKey.Format("%d-%s", pData->m_nSeqNo, keyUser.GetDATA());
  pData->m_nUserValue32bit = nUserValue;
  pData->m_nMessageType = nKind;
  pData->m_pMsgText = text;
  pData->m_pUserName = userName;
  pData->m_nAuthCount = nAuthCount;
  cKytSTR request = pData->m_pTickData;
  cKytSTR toIP = pData->m_pToIP;
  int32_t nToPort = pData->m_nToPort;
  // Armed before sending, so that an answer delivered at once finds its entry.
  SetTick(std::move(pData), m_pChatSIP->IsStream());
  m_pChatSIP->SendToSocket(request, toIP, nToPort);
  return true;
}

void cChatMessage::OnTickEvent(const cKytSTR& text, const cKytSTR& toIP, int32_t nToPort) {
  m_pChatSIP->SendToSocket(text, toIP, nToPort);
}

void cChatMessage::OnTickEventTimeOut(const cChatMessageTickData& data) {
  // A provisional answer showed the server alive: then the time-out is the outcome.
  if (!data.m_bStopTickEvent && RetryElsewhere(data, cFailOverSIP::kTimedOut)) return;
  ReportFail(data, -1, IsTyping(data) ? kTimeOutTyping : kTimeOutText);
}

void cChatMessage::OnRepMESSAGE(const cMsgSIP& response) {
  cKytSTR number, to, user;
  if (!SeqNoOf(response, number) || !response.GetTo(to) || !UserOf(to, user)) return;
  cKytSTR key;
  key.Format("%d-%s", cTextSIP::ToInt(number.GetDATA()), user.GetDATA());
  cChatMessageTickData* pEntry = FindTick(key);
  if (pEntry == nullptr) return;
  pEntry->m_bStopTickEvent = true;
  if (response.Is_Status_1XX()) return;  // the time-out still runs

  std::unique_ptr<cChatMessageTickData> pData = RemoveTick(key);
  int32_t nStatusCode = response.GetStatusCode();
  cKytSTR reason;
  response.GetReasonPhrase(reason);
  if (response.Is_Status_2XX()) {
    ReportSuccess(*pData);
    return;
  }
  if (nStatusCode == kSipUnauthorized || nStatusCode == kSipProxyAuthenticationRequired) {
    cKytSTR authorization, proxyAuthorization;
    cKytSTR body = IsTyping(*pData) ? cKytSTR(cObjMESSAGE::kTypingActiveXML) : pData->m_pMsgText;
    if (pData->m_nAuthCount < cAuth::kMaxAuthAnswers &&
        m_pChatSIP->PrepareCredentials(response, "MESSAGE", body, m_pObjMESSAGE->NonceCount(),
                                       authorization, proxyAuthorization) &&
        SendReqMESSAGE(pData->m_pUserName, authorization, proxyAuthorization, pData->m_pMsgText,
                       pData->m_nMessageType, pData->m_nUserValue32bit, pData->m_nAuthCount + 1)) {
      return;
    }
  }
  if (RetryElsewhere(*pData, nStatusCode)) return;
  ReportFail(*pData, nStatusCode, reason);
}

bool cChatMessage::RetryElsewhere(const cChatMessageTickData& data, int32_t nStatus) {
  return cFailOverSIP::NextServer(m_pChatSIP->GetKytMainObj(), nStatus) &&
         SendReqMESSAGE(data.m_pUserName, "", "", data.m_pMsgText, data.m_nMessageType,
                        data.m_nUserValue32bit, 0);
}

void cChatMessage::OnReqMESSAGE(const cMsgSIP& request) {
  cKytSTR localTag;
  cPacketSIP::GenUniqueTagId(localTag);
  m_pChatSIP->SendResponse(request, kSipOk, "OK", localTag);

  cKytSTR number, callId;
  if (!SeqNoOf(request, number) || !request.GetCallId(callId)) return;
  cKytSTR key;
  key.Format("%s-%s", number.GetDATA(), callId.GetDATA());
  if (!RememberMESSAGE(key)) return;

  cKytSTR from, sender;
  if (!request.GetFrom(from) || !UserOf(from, sender)) return;
  cKytEventSink* pEvent = m_pChatSIP->GetKytEventObj();
  if (pEvent == nullptr) return;
  cKytSTR contentType, body;
  request.GetContentType(contentType);
  contentType.MakeLower();
  request.GetBodySDP(body);
  if (contentType.FindSTR("im-iscomposing+xml") != cKytSTR::KYT_NOT_FOUND) {
    if (body.FindSTR("<state>active</state>") != cKytSTR::KYT_NOT_FOUND) {
      pEvent->OnChatRecvMsgTypingStart(sender);
    } else if (body.FindSTR("<state>idle</state>") != cKytSTR::KYT_NOT_FOUND) {
      pEvent->OnChatRecvMsgTypingStop(sender);
    }
  } else if (contentType.FindSTR("text/") != cKytSTR::KYT_NOT_FOUND) {
    pEvent->OnChatRecvMsgText(sender, body);
  }
}

bool cChatMessage::RememberMESSAGE(const cKytSTR& key) {
  std::string sKey(key.GetDATA());
  if (m_pMapDataMESSAGE.count(sKey) != 0) return false;
  if (m_OrderDataMESSAGE.size() >= kMaxDataMESSAGE) {
    m_pMapDataMESSAGE.erase(m_OrderDataMESSAGE.front());
    m_OrderDataMESSAGE.pop_front();
  }
  m_pMapDataMESSAGE[sKey].m_pUniqueKey = key;
  m_OrderDataMESSAGE.push_back(std::move(sKey));
  return true;
}

void cChatMessage::AgeDataMESSAGE() {
  for (auto& entry : m_pMapDataMESSAGE) --entry.second.m_nDeleteTickCount;
  while (!m_OrderDataMESSAGE.empty() &&
         m_pMapDataMESSAGE[m_OrderDataMESSAGE.front()].m_nDeleteTickCount <= 0) {
    m_pMapDataMESSAGE.erase(m_OrderDataMESSAGE.front());
    m_OrderDataMESSAGE.pop_front();
  }
}

void cChatMessage::OnOneSecondTick() {
  OnMessageTick();
  AgeDataMESSAGE();
}

void cChatMessage::ReportSuccess(const cChatMessageTickData& data) const {
  cKytEventSink* pEvent = m_pChatSIP->GetKytEventObj();
  if (pEvent == nullptr) return;
  if (IsTyping(data)) {
    pEvent->OnChatSendMsgTypingSuccess(data.m_pUserName, data.m_nUserValue32bit);
  } else {
    pEvent->OnChatSendMsgTextSuccess(data.m_pUserName, data.m_pMsgText, data.m_nUserValue32bit);
  }
}

void cChatMessage::ReportFail(const cChatMessageTickData& data, int32_t nStatusCode,
                              const cKytSTR& reason) const {
  cKytEventSink* pEvent = m_pChatSIP->GetKytEventObj();
  if (pEvent == nullptr) return;
  if (IsTyping(data)) {
    pEvent->OnChatSendMsgTypingFail(data.m_pUserName, nStatusCode, reason, data.m_nUserValue32bit);
  } else {
    pEvent->OnChatSendMsgTextFail(data.m_pUserName, nStatusCode, reason, data.m_pMsgText,
                                  data.m_nUserValue32bit);
  }
}
