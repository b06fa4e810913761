#pragma once

#include <cstdint>
#include <initializer_list>

#include "plugin/KytNPAPI.h"
#include "util/cKytNoCopy.h"

// Calls the page's event functions: for each event it looks up the window's property of the
// event's name and, when the page defined a function there, calls it with the event's arguments.
// A page that defines no such function does not hear the event. Main thread only.
class cEventExp : private cKytNoCopy {
 public:
  // Keeps the browser's function table and the instance and asks for the identifier of every
  // event name (initobj).
  cEventExp(NPNetscapeFuncs* pBrowser, NPP pNPInstance);

  void Fire_OnTryingToRegister();
  void Fire_OnSuccessToRegister();
  void Fire_OnFailToRegister();
  void Fire_OnFailToRegisterEx(int32_t nStatusCode, const char* pReason);
  void Fire_OnTryingToReRegister();
  void Fire_OnSuccessToReRegister();
  void Fire_OnFailToReRegister();
  void Fire_OnFailToReRegisterEx(int32_t nStatusCode, const char* pReason);
  void Fire_OnTryingToUnRegister();
  void Fire_OnSuccessToUnRegister();
  void Fire_OnFailToUnRegister();
  void Fire_OnConnecting(int32_t nLine);
  void Fire_OnSuccessToConnect(int32_t nLine, const char* pRemoteRtpIP, int32_t nRemoteRtpPort);
  void Fire_OnFailToConnect(int32_t nLine);
  void Fire_OnDisconnectCall(int32_t nLine);
  void Fire_OnIncomingCall(const char* pCallId, const char* pCallerDisplayName,
                           const char* pCallerUserName, const char* pCallerURI,
                           const char* pCalleeURI);
  void Fire_OnIncomingCallRingingStart(const char* pCallId);
  void Fire_OnIncomingCallRingingStop(const char* pCallId);
  void Fire_OnProvisionalResponse(int32_t nLine, int32_t nStatusCode, const char* pReason);
  void Fire_OnRedirectionResponse(int32_t nLine, int32_t nStatusCode, const char* pReason,
                                  const char* pContact);
  void Fire_OnRequestFailureResponse(int32_t nLine, int32_t nStatusCode, const char* pReason);
  void Fire_OnServerFailureResponse(int32_t nLine, int32_t nStatusCode, const char* pReason);
  void Fire_OnGeneralFailureResponse(int32_t nLine, int32_t nStatusCode, const char* pReason);
  void Fire_OnTryingToHold(int32_t nLine);
  void Fire_OnSuccessToHold(int32_t nLine);
  void Fire_OnFailToHold(int32_t nLine);
  void Fire_OnTryingToUnHold(int32_t nLine);
  void Fire_OnSuccessToUnHold(int32_t nLine);
  void Fire_OnFailToUnHold(int32_t nLine);
  void Fire_OnCallTransferAccepted(int32_t nLine);
  void Fire_OnFailToTransfer(int32_t nLine, int32_t nStatusCode, const char* pReason);
  void Fire_OnIncomingDiagnostic(const char* pMessage, const char* pAddress, int32_t nPort);
  void Fire_OnOutgoingDiagnostic(const char* pMessage, const char* pAddress, int32_t nPort);
  void Fire_OnDetectedAMD(int32_t nLine, bool bDetected);
  void Fire_OnChatContactStatus(const char* pContact, int32_t nStatus);
  void Fire_OnChatSendMsgTextSuccess(const char* pRecipient, const char* pText, int32_t nNumber);
  void Fire_OnChatSendMsgTextFail(const char* pRecipient, int32_t nStatusCode, const char* pReason,
                                  const char* pText, int32_t nNumber);
  void Fire_OnChatSendMsgTypingSuccess(const char* pRecipient, int32_t nNumber);
  void Fire_OnChatSendMsgTypingFail(const char* pRecipient, int32_t nStatusCode,
                                    const char* pReason, int32_t nNumber);
  void Fire_OnChatRecvMsgText(const char* pSender, const char* pText);
  void Fire_OnChatRecvMsgTypingStart(const char* pSender);
  void Fire_OnChatRecvMsgTypingStop(const char* pSender);
  void Fire_OnPlayWaveDone(int32_t nLine);
  void Fire_OnDTMFDigit(int32_t nLine, const char* pDigit);
  void Fire_OnMsgNOTIFY(const char* pMessage);
  void Fire_OnVoiceMailMsg(const char* pMessage);
  void Fire_OnSessionLostEvent(int32_t nLine);
  void Fire_OnVoiceStreamPCM(int32_t nLine);

  // A copy of the whole text in memory from the browser (see cFuncExp).
  bool StringToVariant(const char* pText, NPVariant* result) const;

  // The number of event names.
  static uint32_t GetEventCount();

 private:
  // One event argument: a number, a flag or a text.
  struct cArg {
    cArg(int32_t nValue) : m_Type(NPVariantType_Int32), m_nValue(nValue) {}
    cArg(bool bValue) : m_Type(NPVariantType_Bool), m_bValue(bValue) {}
    cArg(const char* pText) : m_Type(NPVariantType_String), m_pText(pText) {}
    NPVariantType m_Type;
    int32_t m_nValue = 0;
    bool m_bValue = false;
    const char* m_pText = nullptr;
  };
  struct cName;
  static const cName s_Names[];

  void Fire(NPIdentifier name, std::initializer_list<cArg> args) const;

  NPNetscapeFuncs* m_pBrowser;
  NPP m_pNPInstance;

  NPIdentifier m_objOnTryingToRegister_id = nullptr;
  NPIdentifier m_objOnSuccessToRegister_id = nullptr;
  NPIdentifier m_objOnFailToRegister_id = nullptr;
  NPIdentifier m_objOnFailToRegisterEx_id = nullptr;
  NPIdentifier m_objOnTryingToReRegister_id = nullptr;
  NPIdentifier m_objOnSuccessToReRegister_id = nullptr;
  NPIdentifier m_objOnFailToReRegister_id = nullptr;
  NPIdentifier m_objOnFailToReRegisterEx_id = nullptr;
  NPIdentifier m_objOnTryingToUnRegister_id = nullptr;
  NPIdentifier m_objOnSuccessToUnRegister_id = nullptr;
  NPIdentifier m_objOnFailToUnRegister_id = nullptr;
  NPIdentifier m_objOnConnecting_id = nullptr;
  NPIdentifier m_objOnSuccessToConnect_id = nullptr;
  NPIdentifier m_objOnFailToConnect_id = nullptr;
  NPIdentifier m_objOnDisconnectCall_id = nullptr;
  NPIdentifier m_objOnIncomingCall_id = nullptr;
  NPIdentifier m_objOnIncomingCallRingingStart_id = nullptr;
  NPIdentifier m_objOnIncomingCallRingingStop_id = nullptr;
  NPIdentifier m_objOnProvisionalResponse_id = nullptr;
  NPIdentifier m_objOnRedirectionResponse_id = nullptr;
  NPIdentifier m_objOnRequestFailureResponse_id = nullptr;
  NPIdentifier m_objOnServerFailureResponse_id = nullptr;
  NPIdentifier m_objOnGeneralFailureResponse_id = nullptr;
  NPIdentifier m_objOnTryingToHold_id = nullptr;
  NPIdentifier m_objOnSuccessToHold_id = nullptr;
  NPIdentifier m_objOnFailToHold_id = nullptr;
  NPIdentifier m_objOnTryingToUnHold_id = nullptr;
  NPIdentifier m_objOnSuccessToUnHold_id = nullptr;
  NPIdentifier m_objOnFailToUnHold_id = nullptr;
  NPIdentifier m_objOnCallTransferAccepted_id = nullptr;
  NPIdentifier m_objOnFailToTransfer_id = nullptr;
  NPIdentifier m_objOnIncomingDiagnostic_id = nullptr;
  NPIdentifier m_objOnOutgoingDiagnostic_id = nullptr;
  NPIdentifier m_objOnDetectedAMD_id = nullptr;
  NPIdentifier m_objOnChatContactStatus_id = nullptr;
  NPIdentifier m_objOnChatSendMsgTextSuccess_id = nullptr;
  NPIdentifier m_objOnChatSendMsgTextFail_id = nullptr;
  NPIdentifier m_objOnChatSendMsgTypingSuccess_id = nullptr;
  NPIdentifier m_objOnChatSendMsgTypingFail_id = nullptr;
  NPIdentifier m_objOnChatRecvMsgText_id = nullptr;
  NPIdentifier m_objOnChatRecvMsgTypingStart_id = nullptr;
  NPIdentifier m_objOnChatRecvMsgTypingStop_id = nullptr;
  NPIdentifier m_objOnPlayWaveDone_id = nullptr;
  NPIdentifier m_objOnDTMFDigit_id = nullptr;
  NPIdentifier m_objOnMsgNOTIFY_id = nullptr;
  NPIdentifier m_objOnVoiceMailMsg_id = nullptr;
  NPIdentifier m_objOnSessionLostEvent_id = nullptr;
  NPIdentifier m_objOnVoiceStreamPCM_id = nullptr;
};
