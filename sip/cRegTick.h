#pragma once

#include <cstdint>

#include "sip/cRegTickData.h"
#include "util/cKytSTR.h"

// The seconds of registration. Four periodic slots count in the one-second tick: resending the
// pending REGISTER (every 2 s), giving up on it (after 16 s), refreshing the registration and
// sending keep-alive packets. A slot that fires re-arms itself one period later and stays
// enabled until it is killed; what firing means is the subclass's OnTickEvent.
class cRegTick {
 public:
  static constexpr int32_t kSlotSendREG = 0;
  static constexpr int32_t kSlotTimeOutSendREG = 1;
  static constexpr int32_t kSlotReREG = 2;
  static constexpr int32_t kSlotKeepAlive = 3;
  static constexpr int32_t kSlots = 4;

  static constexpr int32_t kTickTimeOutSendREG = 2000;
  static constexpr int32_t kTickSendREG = 2001;
  static constexpr int32_t kTickReREG = 2002;
  static constexpr int32_t kTickKeepAlive = 2003;

  static constexpr int32_t kSendREGPeriod = 2;
  static constexpr int32_t kTimeOutSendREGPeriod = 16;

  cRegTick() = default;
  cRegTick(const cRegTick&) = delete;
  cRegTick& operator=(const cRegTick&) = delete;
  virtual ~cRegTick() = default;

  // Once a second: counts the second, then fires every due slot in slot order.
  void OnMainTick();

  void SetTickSendREG(const cKytSTR& text);
  void SetTickTimeOutSendREG();
  void SetTickReREG(int32_t nSeconds);
  // Periods below one second count as one second.
  void SetTickKeepAlive(int32_t nSeconds);

  void KillTickSendREG() { m_pRegTickData[kSlotSendREG].Reset(); }
  void KillTickTimeOutSendREG() { m_pRegTickData[kSlotTimeOutSendREG].Reset(); }
  void KillTickReREG() { m_pRegTickData[kSlotReREG].Reset(); }
  void KillTickKeepAlive() { m_pRegTickData[kSlotKeepAlive].Reset(); }
  // Every slot but the keep-alive.
  void KillTickAll();

  bool IsTickEnabled(int32_t nSlot) const;
  // Seconds until the slot fires next; -1 when the slot is off.
  int32_t GetSecondsToTrigger(int32_t nSlot) const;

 protected:
  virtual void OnTickEvent(int32_t nTickId, const cKytSTR& text) = 0;

 private:
  void Arm(int32_t nSlot, int32_t nTickId, const cKytSTR& text, int32_t nPeriod);

  int32_t m_nSecondCount = 0;
  cRegTickData m_pRegTickData[kSlots];
};
