#include "audio/cSound.h"

#include <algorithm>
#include <chrono>

#include "audio/cAudioUnit.h"
#include "audio/cPulseAudioBackend.h"
#include "audio/cSoundSink.h"
#include "util/eKytError.h"

namespace {

// A tick that falls this far behind (a stalled machine) restarts the clock instead of catching up.
constexpr auto kMaxLag = std::chrono::milliseconds(500);

}  // namespace

cSound::cSound(asio::io_context& context, cSoundSink* pSink)
    : m_Context(context),
      m_pSink(pSink),
      m_pBackend(std::make_unique<cPulseAudioBackend>()),
      m_pMicBUFF(std::make_unique<cCircularBUFF>(kDeviceBufferBytes)),
      m_pSpkBUFF(std::make_unique<cCircularBUFF>(kDeviceBufferBytes)),
      m_pMicVAD(std::make_unique<cVAD>()),
      m_pSpkVAD(std::make_unique<cVAD>()) {}

cSound::~cSound() { CloseAudioDevice(); }

bool cSound::SetAudioBackend(std::unique_ptr<cAudioBackend> pBackend) {
  if (m_bDeviceOpened || !pBackend) return false;
  m_pBackend = std::move(pBackend);
  return true;
}

int cSound::InitOBJ(int nTotalLine) {
  m_nTotalLine = std::max(nTotalLine, 0);
  mLineMediaStarted.assign(m_nTotalLine, 0);
  CloseAudioDevice();
  return 0;
}

void cSound::UnInitOBJ() {
  mLineMediaStarted.clear();
  m_nTotalLine = 0;
  CloseAudioDevice();
}

bool cSound::IsMediaStarted() const {
  return std::any_of(mLineMediaStarted.begin(), mLineMediaStarted.end(),
                     [](uint8_t b) { return b != 0; });
}

int cSound::StartMEDIA(int nLine, int, int) {
  if (nLine < 0 || nLine >= m_nTotalLine) return kErrLineRange;
  const bool bFirst = !IsMediaStarted();
  mLineMediaStarted[nLine] = 1;
  return bFirst ? OpenAudioDevice(nLine) : 0;
}

void cSound::StopMEDIA(int nLine) {
  if (nLine < 0 || nLine >= m_nTotalLine) return;
  mLineMediaStarted[nLine] = 0;
  if (!IsMediaStarted()) CloseAudioDevice();
}

int cSound::OpenAudioDevice(int nLine) {
  if (m_bDeviceOpened) return 0;
  m_pMicBUFF->ResetBUFF();
  m_pSpkBUFF->ResetBUFF();
  m_nSpkWindowTicks = 0;
  m_nSpkWindowMinFill = kDeviceBufferBytes;
  m_bSpkDropPending = false;
  const int nCode = m_pBackend->Open(this);
  if (nCode != 0) {
    mLineMediaStarted[nLine] = 0;
    return nCode;
  }
  m_bDeviceOpened = true;
  m_pMicVAD->InitOBJ();
  m_pSpkVAD->InitOBJ();
  m_pTimerAlive = std::make_shared<char>(0);
  const auto now = tTickTimer::clock_type::now();
  for (int n = 0; n < 2; ++n) {
    m_pObjTimer[n] = std::make_unique<tTickTimer>(m_Context.get_executor());
    m_NextTick[n] = now + (n + 1) * std::chrono::milliseconds(cAudioUnit::kDurationMs);
    ArmTimer(n);
  }
  return 0;
}

void cSound::ArmTimer(int n) {
  m_pObjTimer[n]->expires_at(m_NextTick[n]);
  std::weak_ptr<char> alive = m_pTimerAlive;
  m_pObjTimer[n]->async_wait([this, alive, n](const asio::error_code& ec) {
    if (ec || alive.expired()) return;
    OnTimerPCM();
    if (alive.expired()) return;
    // The next deadline follows from the last one, so the clock does not drift.
    m_NextTick[n] += 2 * std::chrono::milliseconds(cAudioUnit::kDurationMs);
    const auto now = tTickTimer::clock_type::now();
    if (m_NextTick[n] + kMaxLag < now) {
      // Too far behind: restart the clock, one tick after the other timer's.
      m_NextTick[n] =
          std::max(m_NextTick[1 - n], now) + std::chrono::milliseconds(cAudioUnit::kDurationMs);
    }
    ArmTimer(n);
  });
}

void cSound::CloseAudioDevice() {
  if (!m_bDeviceOpened) return;
  m_bDeviceOpened = false;
  m_pBackend->Close();
  m_pTimerAlive.reset();
  m_pObjTimer[0].reset();
  m_pObjTimer[1].reset();
  m_pMicBUFF->ResetBUFF();
  m_pSpkBUFF->ResetBUFF();
}

void cSound::SetSpkSoftVolume(int nVolume) { m_nSpkSoftVolume = std::clamp(nVolume, 0, 25); }

void cSound::VoiceChanger(int nValue) {
  if (nValue == -1) {
    mPitchShift.reset();
    m_nPitchShiftValue = -1;
    return;
  }
  m_nPitchShiftValue = std::clamp(nValue, 0, 20);
  mPitchShift = std::make_unique<cPitchShift>();
}

void cSound::OnRecordDone(const void* pData, int nSize) { m_pMicBUFF->WriteToBUFF(pData, nSize); }

void cSound::OnPlayFillData(void* pOut, int nSize) {
  if (nSize <= 0) return;
  if (!m_pSpkBUFF->ReadToBUFF(pOut, nSize)) std::fill_n(static_cast<uint8_t*>(pOut), nSize, 0);
}

void cSound::BoostVolumeUnitPCM(const int16_t* pIn, int16_t* pOut, int nFactor) {
  for (int i = 0; i < cAudioUnit::kSamples; ++i)
    pOut[i] = cAudioUnit::GetSaturatedValue(static_cast<int32_t>(pIn[i]) * nFactor);
}

void cSound::SetStreamVol(int16_t* pSamples, int nCount, int nVolume) {
  if (nVolume == 0) return;
  for (int i = 0; i < nCount; ++i)
    pSamples[i] =
        cAudioUnit::GetSaturatedValue(pSamples[i] + static_cast<int32_t>(pSamples[i]) * nVolume);
}

void cSound::OnTimerPCM() {
  m_pBackend->OnSoundTick();
  int16_t unit[cAudioUnit::kSamples];
  for (int i = 0; i < 2 && m_pMicBUFF->ReadToBUFF(unit, cAudioUnit::kBytes); ++i) {
    if (m_bMuteMic) {
      std::fill_n(unit, cAudioUnit::kSamples, 0);
    } else {
      mMicAutoGainControl.ApplyAutoGain(unit, cAudioUnit::kSamples);
      if (m_bMicBoostSoft) BoostVolumeUnitPCM(unit, unit, kBoostFactor);
      if (mPitchShift) mPitchShift->UpdatePitchUnitPCM(m_nPitchShiftValue, unit, unit);
    }
    m_pMicVAD->IsSilence(unit, cAudioUnit::kSamples);
    m_pSink->OnMicData(unit);
  }

  int16_t channel0[cAudioUnit::kSamples], channel1[cAudioUnit::kSamples];
  if (!m_pSink->GetSpkPlay(unit, channel0, channel1)) return;
  if (m_bMuteSpk) {
    std::fill_n(unit, cAudioUnit::kSamples, 0);
  } else {
    mSpkAutoGainControl.ApplyAutoGain(unit, cAudioUnit::kSamples);
    if (m_bSpkBoostSoft) BoostVolumeUnitPCM(unit, unit, kBoostFactor);
    SetStreamVol(unit, cAudioUnit::kSamples, m_nSpkSoftVolume);
  }
  const bool bQuiet = m_pSpkVAD->IsSilence(unit, cAudioUnit::kSamples);
  if (KeepSpeakerLevel(bQuiet)) m_pSpkBUFF->WriteToBUFF(unit, cAudioUnit::kBytes);
}

bool cSound::KeepSpeakerLevel(bool bQuiet) {
  // The device's clock is not ours: a device slower than the tick lets its ring fill up, which
  // is delay. Once per window whose lowest fill stayed above the target, one unit is left out:
  // a quiet one, or any once the excess is large.
  m_nSpkWindowMinFill = std::min(m_nSpkWindowMinFill, m_pSpkBUFF->GetSizeBUFF());
  if (++m_nSpkWindowTicks >= kSpkWindowTicks) {
    if (m_nSpkWindowMinFill > kSpkTargetBytes) m_bSpkDropPending = true;
    m_bSpkDropAny = m_nSpkWindowMinFill > kSpkTargetBytes + 2 * cAudioUnit::kBytes;
    m_nSpkWindowTicks = 0;
    m_nSpkWindowMinFill = kDeviceBufferBytes;
  }
  if (!m_bSpkDropPending || !(bQuiet || m_bSpkDropAny)) return true;
  m_bSpkDropPending = false;
  return false;
}
