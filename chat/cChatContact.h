#pragma once

#include <cstdint>
#include <limits>
#include <memory>

#include "chat/cChatContactTick.h"
#include "chat/cContactDataSIP.h"
#include "util/cKytSTR.h"

class cChatSIP;
class cMsgSIP;

// One presence contact, a user name of the account's domain. It keeps two subscriptions: ours
// to the contact (SUBSCRIBE out, its NOTIFYs tell us its status) and the contact's to us (its
// SUBSCRIBE in, our NOTIFYs tell it our status).
class cChatContact : public cChatContactTick {
 public:
  static constexpr int32_t kSubscribeExpires = 3600;
  static constexpr int32_t kReOnlineSeconds = 300;
  static constexpr int32_t kRemoveSeconds = 2;
  static constexpr double kSubscribeBackSeconds = 4.0;

  cChatContact(cChatSIP* pChatSIP, const cKytSTR& userName);
  ~cChatContact() override;

  // Add: Online, then the contact counts as listed. Remove: Offline, then it is deleted two
  // seconds later. Online subscribes for an hour and sends our status; Offline ends our
  // subscription (when there is one) and sends "offline".
  void Add();
  void Remove();
  void Online();
  void Offline();
  // Sends our status by NOTIFY, unless the contact was removed. False with error 42 when the
  // contact holds no subscription to us, 43 when the NOTIFY could not be built.
  bool SendMyStatus(int32_t nStatus);
  // 0 ends our subscription (nothing to do when none is active). False with error 44 when the
  // SUBSCRIBE could not be built.
  bool SendReqSUBSCRIBE(int32_t nExpires, const cKytSTR& authorization,
                        const cKytSTR& proxyAuthorization);
  bool SendReqNOTIFY(int32_t nStatus);

  void OnReqSUBSCRIBE(const cMsgSIP& request);
  void OnReqNOTIFY(const cMsgSIP& request);
  void OnRepSUBSCRIBE(const cMsgSIP& response);
  void OnRepNOTIFY(const cMsgSIP& response);
  void OnOneSecondTick();

  int32_t GetStatus() const { return m_nStatusId; }
  const cKytSTR& GetUserName() const { return m_pUserName; }
  bool IsRemoved() const { return m_bRemoved; }
  bool IsReadyToDelete() const { return m_bRemoved && m_nRemoveCount < 1; }
  bool IsSendNOTIFY() const { return m_bSendNOTIFY; }
  bool IsReceiveNOTIFY() const { return m_bReceiveNOTIFY; }
  int32_t GetObjectError() const { return m_nObjectError; }
  const cContactDataSIP& GetSendData() const { return *m_pObjSendDataSUBSCRIBE; }
  const cContactDataSIP& GetRecvData() const { return *m_pObjRecvDataSUBSCRIBE; }

  // Status number to the activity and basic value we send.
  static void StatusToPIDF(int32_t nStatus, const char*& pActivity, const char*& pBasic);
  // The status a received presence document tells: busy, away, on the phone, closed, tested in
  // that order on the lower-cased text; none of them is online.
  static int32_t PIDFToStatus(const cKytSTR& body);
  static void PreparePIDF(const cKytSTR& entity, const cKytSTR& tupleId, const char* pBasic,
                          const cKytSTR& personId, const char* pActivity, cKytSTR& body);
  // A Subscription-State that ends the subscription: state "terminated" (with or without
  // parameters) or a "deactivated" reason.
  static bool IsTerminated(const cKytSTR& subscriptionState);

 protected:
  void OnTickEvent(const cKytSTR& text, const cKytSTR& toIP, int32_t nToPort) override;
  void OnTickEventTimeOut(int32_t nSlot) override;

 private:
  // Our subscription is over: no dialog, no NOTIFYs expected.
  void EndSendSide();
  // The subscription's first SUBSCRIBE anew, as a new transaction to the next server, after a
  // time-out (cFailOverSIP::kTimedOut) or a 503; false inside the dialog or with no server left.
  bool RetryElsewhere(int32_t nStatus);
  // Reports a status to the page, unless the contact was removed.
  void OnContactStatus(int32_t nStatus);
  // A SUBSCRIBE or NOTIFY on the dialog data: everything but the method's own headers.
  void PrepareDialogRequest(cMsgSIP& msg, const char* pMethod, const cContactDataSIP& data);
  // The message's Contact, when it has one, becomes the dialog's remote target.
  static void TakeRemoteTarget(const cMsgSIP& msg, cContactDataSIP& data);

  int32_t m_nAutoReOnlineTick = kReOnlineSeconds;
  int32_t m_nStatusId;
  cChatSIP* m_pChatSIP;  // not owned
  bool m_bRemoved = false;
  int32_t m_nRemoveCount = 0;
  bool m_bSendNOTIFY = false;
  bool m_bReceiveNOTIFY = false;
  int32_t m_nObjectError = 0;
  cKytSTR m_pUserName;
  cKytSTR m_pToURI;
  cKytSTR m_pReqURI;
  int32_t m_nTranCount = 1;
  int32_t m_nNonceCount = 0;
  std::unique_ptr<cContactDataSIP> m_pObjRecvDataSUBSCRIBE;
  std::unique_ptr<cContactDataSIP> m_pObjSendDataSUBSCRIBE;
  double m_fSubscribeLastTick = -std::numeric_limits<double>::infinity();  // never yet
  // The expiry of the SUBSCRIBE in flight, kept for the answer to a challenge.
  int32_t m_nSubscribeExpires = kSubscribeExpires;
  int32_t m_nAuthCount = 0;
};
