#include "plugin/cEventExp.h"

#include <vector>

#include "plugin/cFuncExp.h"

struct cEventExp::cName {
  const char* pName;
  NPIdentifier cEventExp::*pId;
};

// clang-format off
const cEventExp::cName cEventExp::s_Names[] = {
    {"OnTryingToRegister", &cEventExp::m_objOnTryingToRegister_id},
    {"OnSuccessToRegister", &cEventExp::m_objOnSuccessToRegister_id},
    {"OnFailToRegister", &cEventExp::m_objOnFailToRegister_id},
    {"OnFailToRegisterEx", &cEventExp::m_objOnFailToRegisterEx_id},
    {"OnTryingToReRegister", &cEventExp::m_objOnTryingToReRegister_id},
    {"OnSuccessToReRegister", &cEventExp::m_objOnSuccessToReRegister_id},
    {"OnFailToReRegister", &cEventExp::m_objOnFailToReRegister_id},
    {"OnFailToReRegisterEx", &cEventExp::m_objOnFailToReRegisterEx_id},
    {"OnTryingToUnRegister", &cEventExp::m_objOnTryingToUnRegister_id},
    {"OnSuccessToUnRegister", &cEventExp::m_objOnSuccessToUnRegister_id},
    {"OnFailToUnRegister", &cEventExp::m_objOnFailToUnRegister_id},
    {"OnConnecting", &cEventExp::m_objOnConnecting_id},
    {"OnSuccessToConnect", &cEventExp::m_objOnSuccessToConnect_id},
    {"OnFailToConnect", &cEventExp::m_objOnFailToConnect_id},
    {"OnDisconnectCall", &cEventExp::m_objOnDisconnectCall_id},
    {"OnIncomingCall", &cEventExp::m_objOnIncomingCall_id},
    {"OnIncomingCallRingingStart", &cEventExp::m_objOnIncomingCallRingingStart_id},
    {"OnIncomingCallRingingStop", &cEventExp::m_objOnIncomingCallRingingStop_id},
    {"OnProvisionalResponse", &cEventExp::m_objOnProvisionalResponse_id},
    {"OnRedirectionResponse", &cEventExp::m_objOnRedirectionResponse_id},
    {"OnRequestFailureResponse", &cEventExp::m_objOnRequestFailureResponse_id},
    {"OnServerFailureResponse", &cEventExp::m_objOnServerFailureResponse_id},
    {"OnGeneralFailureResponse", &cEventExp::m_objOnGeneralFailureResponse_id},
    {"OnTryingToHold", &cEventExp::m_objOnTryingToHold_id},
    {"OnSuccessToHold", &cEventExp::m_objOnSuccessToHold_id},
    {"OnFailToHold", &cEventExp::m_objOnFailToHold_id},
    {"OnTryingToUnHold", &cEventExp::m_objOnTryingToUnHold_id},
    {"OnSuccessToUnHold", &cEventExp::m_objOnSuccessToUnHold_id},
    {"OnFailToUnHold", &cEventExp::m_objOnFailToUnHold_id},
    {"OnCallTransferAccepted", &cEventExp::m_objOnCallTransferAccepted_id},
    {"OnFailToTransfer", &cEventExp::m_objOnFailToTransfer_id},
    {"OnIncomingDiagnostic", &cEventExp::m_objOnIncomingDiagnostic_id},
    {"OnOutgoingDiagnostic", &cEventExp::m_objOnOutgoingDiagnostic_id},
    {"OnDetectedAMD", &cEventExp::m_objOnDetectedAMD_id},
    {"OnChatContactStatus", &cEventExp::m_objOnChatContactStatus_id},
    {"OnChatSendMsgTextSuccess", &cEventExp::m_objOnChatSendMsgTextSuccess_id},
    {"OnChatSendMsgTextFail", &cEventExp::m_objOnChatSendMsgTextFail_id},
    {"OnChatSendMsgTypingSuccess", &cEventExp::m_objOnChatSendMsgTypingSuccess_id},
    {"OnChatSendMsgTypingFail", &cEventExp::m_objOnChatSendMsgTypingFail_id},
    {"OnChatRecvMsgText", &cEventExp::m_objOnChatRecvMsgText_id},
    {"OnChatRecvMsgTypingStart", &cEventExp::m_objOnChatRecvMsgTypingStart_id},
    {"OnChatRecvMsgTypingStop", &cEventExp::m_objOnChatRecvMsgTypingStop_id},
    {"OnPlayWaveDone", &cEventExp::m_objOnPlayWaveDone_id},
    {"OnDTMFDigit", &cEventExp::m_objOnDTMFDigit_id},
    {"OnMsgNOTIFY", &cEventExp::m_objOnMsgNOTIFY_id},
    {"OnVoiceMailMsg", &cEventExp::m_objOnVoiceMailMsg_id},
    {"OnSessionLostEvent", &cEventExp::m_objOnSessionLostEvent_id},
    {"OnVoiceStreamPCM", &cEventExp::m_objOnVoiceStreamPCM_id},
};
// clang-format on

cEventExp::cEventExp(NPNetscapeFuncs* pBrowser, NPP pNPInstance)
    : m_pBrowser(pBrowser), m_pNPInstance(pNPInstance) {
  for (const cName& name : s_Names) this->*name.pId = m_pBrowser->getstringidentifier(name.pName);
}

uint32_t cEventExp::GetEventCount() { return static_cast<uint32_t>(std::size(s_Names)); }

bool cEventExp::StringToVariant(const char* pText, NPVariant* result) const {
  return cFuncExp::StringToVariant(m_pBrowser, pText, result);
}

void cEventExp::Fire(NPIdentifier name, std::initializer_list<cArg> args) const {
  NPObject* pWindow = nullptr;
  if (m_pBrowser->getvalue(m_pNPInstance, NPNVWindowNPObject, &pWindow) != NPERR_NO_ERROR ||
      !pWindow)
    return;

  NPVariant function;
  VOID_TO_NPVARIANT(function);
  if (!m_pBrowser->getproperty(m_pNPInstance, pWindow, name, &function) ||
      !NPVARIANT_IS_OBJECT(function)) {
    m_pBrowser->releasevariantvalue(&function);
    m_pBrowser->releaseobject(pWindow);
    return;
  }

  std::vector<NPVariant> values(args.size());
  size_t i = 0;
  for (const cArg& arg : args) {
    NPVariant& value = values[i++];
    VOID_TO_NPVARIANT(value);
    if (arg.m_Type == NPVariantType_Int32)
      INT32_TO_NPVARIANT(arg.m_nValue, value);
    else if (arg.m_Type == NPVariantType_Bool)
      BOOLEAN_TO_NPVARIANT(arg.m_bValue, value);
    else
      StringToVariant(arg.m_pText, &value);
  }

  // The page's answer, or a throw, changes nothing here.
  NPVariant result;
  VOID_TO_NPVARIANT(result);
  m_pBrowser->invokeDefault(m_pNPInstance, NPVARIANT_TO_OBJECT(function), values.data(),
                            static_cast<uint32_t>(values.size()), &result);

  for (NPVariant& value : values) m_pBrowser->releasevariantvalue(&value);
  m_pBrowser->releasevariantvalue(&result);
  m_pBrowser->releasevariantvalue(&function);
  m_pBrowser->releaseobject(pWindow);
}

void cEventExp::Fire_OnTryingToRegister() { Fire(m_objOnTryingToRegister_id, {}); }
void cEventExp::Fire_OnSuccessToRegister() { Fire(m_objOnSuccessToRegister_id, {}); }
void cEventExp::Fire_OnFailToRegister() { Fire(m_objOnFailToRegister_id, {}); }
void cEventExp::Fire_OnFailToRegisterEx(int32_t nStatusCode, const char* pReason) {
  Fire(m_objOnFailToRegisterEx_id, {nStatusCode, pReason});
}
void cEventExp::Fire_OnTryingToReRegister() { Fire(m_objOnTryingToReRegister_id, {}); }
void cEventExp::Fire_OnSuccessToReRegister() { Fire(m_objOnSuccessToReRegister_id, {}); }
void cEventExp::Fire_OnFailToReRegister() { Fire(m_objOnFailToReRegister_id, {}); }
void cEventExp::Fire_OnFailToReRegisterEx(int32_t nStatusCode, const char* pReason) {
  Fire(m_objOnFailToReRegisterEx_id, {nStatusCode, pReason});
}
void cEventExp::Fire_OnTryingToUnRegister() { Fire(m_objOnTryingToUnRegister_id, {}); }
void cEventExp::Fire_OnSuccessToUnRegister() { Fire(m_objOnSuccessToUnRegister_id, {}); }
void cEventExp::Fire_OnFailToUnRegister() { Fire(m_objOnFailToUnRegister_id, {}); }
void cEventExp::Fire_OnConnecting(int32_t nLine) { Fire(m_objOnConnecting_id, {nLine}); }
void cEventExp::Fire_OnSuccessToConnect(int32_t nLine, const char* pRemoteRtpIP,
                                        int32_t nRemoteRtpPort) {
  Fire(m_objOnSuccessToConnect_id, {nLine, pRemoteRtpIP, nRemoteRtpPort});
}
void cEventExp::Fire_OnFailToConnect(int32_t nLine) { Fire(m_objOnFailToConnect_id, {nLine}); }
void cEventExp::Fire_OnDisconnectCall(int32_t nLine) { Fire(m_objOnDisconnectCall_id, {nLine}); }
void cEventExp::Fire_OnIncomingCall(const char* pCallId, const char* pCallerDisplayName,
                                    const char* pCallerUserName, const char* pCallerURI,
                                    const char* pCalleeURI) {
  Fire(m_objOnIncomingCall_id,
       {pCallId, pCallerDisplayName, pCallerUserName, pCallerURI, pCalleeURI});
}
void cEventExp::Fire_OnIncomingCallRingingStart(const char* pCallId) {
  Fire(m_objOnIncomingCallRingingStart_id, {pCallId});
}
void cEventExp::Fire_OnIncomingCallRingingStop(const char* pCallId) {
  Fire(m_objOnIncomingCallRingingStop_id, {pCallId});
}
void cEventExp::Fire_OnProvisionalResponse(int32_t nLine, int32_t nStatusCode,
                                           const char* pReason) {
  Fire(m_objOnProvisionalResponse_id, {nLine, nStatusCode, pReason});
}
void cEventExp::Fire_OnRedirectionResponse(int32_t nLine, int32_t nStatusCode, const char* pReason,
                                           const char* pContact) {
  Fire(m_objOnRedirectionResponse_id, {nLine, nStatusCode, pReason, pContact});
}
void cEventExp::Fire_OnRequestFailureResponse(int32_t nLine, int32_t nStatusCode,
                                              const char* pReason) {
  Fire(m_objOnRequestFailureResponse_id, {nLine, nStatusCode, pReason});
}
void cEventExp::Fire_OnServerFailureResponse(int32_t nLine, int32_t nStatusCode,
                                             const char* pReason) {
  Fire(m_objOnServerFailureResponse_id, {nLine, nStatusCode, pReason});
}
void cEventExp::Fire_OnGeneralFailureResponse(int32_t nLine, int32_t nStatusCode,
                                              const char* pReason) {
  Fire(m_objOnGeneralFailureResponse_id, {nLine, nStatusCode, pReason});
}
void cEventExp::Fire_OnTryingToHold(int32_t nLine) { Fire(m_objOnTryingToHold_id, {nLine}); }
void cEventExp::Fire_OnSuccessToHold(int32_t nLine) { Fire(m_objOnSuccessToHold_id, {nLine}); }
void cEventExp::Fire_OnFailToHold(int32_t nLine) { Fire(m_objOnFailToHold_id, {nLine}); }
void cEventExp::Fire_OnTryingToUnHold(int32_t nLine) { Fire(m_objOnTryingToUnHold_id, {nLine}); }
void cEventExp::Fire_OnSuccessToUnHold(int32_t nLine) { Fire(m_objOnSuccessToUnHold_id, {nLine}); }
void cEventExp::Fire_OnFailToUnHold(int32_t nLine) { Fire(m_objOnFailToUnHold_id, {nLine}); }
void cEventExp::Fire_OnCallTransferAccepted(int32_t nLine) {
  Fire(m_objOnCallTransferAccepted_id, {nLine});
}
void cEventExp::Fire_OnFailToTransfer(int32_t nLine, int32_t nStatusCode, const char* pReason) {
  Fire(m_objOnFailToTransfer_id, {nLine, nStatusCode, pReason});
}
void cEventExp::Fire_OnIncomingDiagnostic(const char* pMessage, const char* pAddress,
                                          int32_t nPort) {
  Fire(m_objOnIncomingDiagnostic_id, {pMessage, pAddress, nPort});
}
void cEventExp::Fire_OnOutgoingDiagnostic(const char* pMessage, const char* pAddress,
                                          int32_t nPort) {
  Fire(m_objOnOutgoingDiagnostic_id, {pMessage, pAddress, nPort});
}
void cEventExp::Fire_OnDetectedAMD(int32_t nLine, bool bDetected) {
  Fire(m_objOnDetectedAMD_id, {nLine, bDetected});
}
void cEventExp::Fire_OnChatContactStatus(const char* pContact, int32_t nStatus) {
  Fire(m_objOnChatContactStatus_id, {pContact, nStatus});
}
void cEventExp::Fire_OnChatSendMsgTextSuccess(const char* pRecipient, const char* pText,
                                              int32_t nNumber) {
  Fire(m_objOnChatSendMsgTextSuccess_id, {pRecipient, pText, nNumber});
}
void cEventExp::Fire_OnChatSendMsgTextFail(const char* pRecipient, int32_t nStatusCode,
                                           const char* pReason, const char* pText,
                                           int32_t nNumber) {
  Fire(m_objOnChatSendMsgTextFail_id, {pRecipient, nStatusCode, pReason, pText, nNumber});
}
void cEventExp::Fire_OnChatSendMsgTypingSuccess(const char* pRecipient, int32_t nNumber) {
  Fire(m_objOnChatSendMsgTypingSuccess_id, {pRecipient, nNumber});
}
void cEventExp::Fire_OnChatSendMsgTypingFail(const char* pRecipient, int32_t nStatusCode,
                                             const char* pReason, int32_t nNumber) {
  Fire(m_objOnChatSendMsgTypingFail_id, {pRecipient, nStatusCode, pReason, nNumber});
}
void cEventExp::Fire_OnChatRecvMsgText(const char* pSender, const char* pText) {
  Fire(m_objOnChatRecvMsgText_id, {pSender, pText});
}
void cEventExp::Fire_OnChatRecvMsgTypingStart(const char* pSender) {
  Fire(m_objOnChatRecvMsgTypingStart_id, {pSender});
}
void cEventExp::Fire_OnChatRecvMsgTypingStop(const char* pSender) {
  Fire(m_objOnChatRecvMsgTypingStop_id, {pSender});
}
void cEventExp::Fire_OnPlayWaveDone(int32_t nLine) { Fire(m_objOnPlayWaveDone_id, {nLine}); }
void cEventExp::Fire_OnDTMFDigit(int32_t nLine, const char* pDigit) {
  Fire(m_objOnDTMFDigit_id, {nLine, pDigit});
}
void cEventExp::Fire_OnMsgNOTIFY(const char* pMessage) { Fire(m_objOnMsgNOTIFY_id, {pMessage}); }
void cEventExp::Fire_OnVoiceMailMsg(const char* pMessage) {
  Fire(m_objOnVoiceMailMsg_id, {pMessage});
}
void cEventExp::Fire_OnSessionLostEvent(int32_t nLine) {
  Fire(m_objOnSessionLostEvent_id, {nLine});
}
void cEventExp::Fire_OnVoiceStreamPCM(int32_t nLine) { Fire(m_objOnVoiceStreamPCM_id, {nLine}); }
