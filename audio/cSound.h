#pragma once

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/cAudioBackend.h"
#include "audio/cAutoGainControl.h"
#include "audio/cCircularBUFF.h"
#include "audio/cPitchShift.h"
#include "audio/cVAD.h"
#include "util/cKytNoCopy.h"

class cSoundSink;

// The sound device: microphone and speaker through an audio backend, a unit (cAudioUnit) at a
// time, and the sound tick, once a unit on the media thread, that drives the whole media engine.
// The device is open while at least one line uses it.
class cSound : private cKytNoCopy {
 public:
  static constexpr int kDeviceBufferBytes = 2560;
  static constexpr int kBoostFactor = 20;
  // The speaker ring is held near two units (40 ms), adjusted at most once per 5 s.
  static constexpr int kSpkTargetBytes = 640;
  static constexpr int kSpkWindowTicks = 250;

  // pSink receives the microphone units and gives the speaker units; the backend defaults to
  // the desktop's audio server.
  cSound(asio::io_context& context, cSoundSink* pSink);
  ~cSound();

  // Replaces the backend; refused (false) while the device is open.
  bool SetAudioBackend(std::unique_ptr<cAudioBackend> pBackend);

  int InitOBJ(int nTotalLine);
  void UnInitOBJ();
  // Marks the line; the first line opens the device. Answers 0 or the device's code (14, 15);
  // a line number out of range answers 29 and changes nothing.
  int StartMEDIA(int nLine, int nDeviceIn, int nDeviceOut);
  void StopMEDIA(int nLine);
  bool IsMediaStarted() const;
  bool IsCapturedDEVICE() const { return m_bDeviceOpened; }

  void MuteMic(bool bMute) { m_bMuteMic = bMute; }
  void MuteSpk(bool bMute) { m_bMuteSpk = bMute; }
  bool IsMuteMic() const { return m_bMuteMic; }
  bool IsMuteSpk() const { return m_bMuteSpk; }
  void MicSetSoftBoost(bool bBoost) { m_bMicBoostSoft = bBoost; }
  bool MicGetSoftBoost() const { return m_bMicBoostSoft; }
  void SpkSetSoftBoost(bool bBoost) { m_bSpkBoostSoft = bBoost; }
  bool SpkGetSoftBoost() const { return m_bSpkBoostSoft; }
  void MicSetAutoGain(int nLevel) { mMicAutoGainControl.SetAutoGain(nLevel); }
  int MicGetAutoGain() const { return mMicAutoGainControl.GetAutoGain(); }
  void SpkSetAutoGain(int nLevel) { mSpkAutoGainControl.SetAutoGain(nLevel); }
  int SpkGetAutoGain() const { return mSpkAutoGainControl.GetAutoGain(); }
  // Clamped to 0..25.
  void SetSpkSoftVolume(int nVolume);
  int GetSpkSoftVolume() const { return m_nSpkSoftVolume; }
  // -1 turns the voice changer off; other values are clamped to 0..20 and start a fresh shifter.
  void VoiceChanger(int nValue);
  int GetVoiceChanger() const { return m_nPitchShiftValue; }
  int GetMicVoiceLevel() { return m_pMicVAD->GetSoundLevel(); }
  int GetSpkVoiceLevel() { return m_pSpkVAD->GetSoundLevel(); }

  // From the backend's capture thread: one unit (dropped if it does not fit).
  void OnRecordDone(const void* pData, int nSize);
  // From the backend's playback thread: nSize bytes of speaker sound, silence when short.
  void OnPlayFillData(void* pOut, int nSize);

  // out = clamp(in * factor), one unit.
  static void BoostVolumeUnitPCM(const int16_t* pIn, int16_t* pOut, int nFactor);
  // Each sample becomes clamp(sample + sample * v) when v is not 0.
  static void SetStreamVol(int16_t* pSamples, int nCount, int nVolume);

  // The 20 ms tick: up to two microphone units to the sink, one speaker unit from it.
  void OnTimerPCM();

 private:
  int OpenAudioDevice(int nLine);
  void CloseAudioDevice();
  // Arms timer n (0 or 1) for its next tick.
  void ArmTimer(int n);
  // Whether this speaker unit goes to the ring (false: left out to bring the ring's fill down).
  bool KeepSpeakerLevel(bool bQuiet);

  asio::io_context& m_Context;
  cSoundSink* m_pSink;
  std::unique_ptr<cAudioBackend> m_pBackend;
  std::unique_ptr<cCircularBUFF> m_pMicBUFF;
  std::unique_ptr<cCircularBUFF> m_pSpkBUFF;
  std::unique_ptr<cVAD> m_pMicVAD;
  std::unique_ptr<cVAD> m_pSpkVAD;
  cAutoGainControl mMicAutoGainControl;
  cAutoGainControl mSpkAutoGainControl;
  std::unique_ptr<cPitchShift> mPitchShift;
  int m_nPitchShiftValue = -1;
  // Bound to the context's own executor type: no type-erased executor on each tick's wait.
  using tTickTimer = asio::basic_waitable_timer<std::chrono::steady_clock,
                                                asio::wait_traits<std::chrono::steady_clock>,
                                                asio::io_context::executor_type>;
  // Two timers take the ticks in turn, each 40 ms apart: the next tick's timer is already armed
  // when a tick runs, so re-arming never moves the earliest deadline and costs no system call of
  // its own (the context re-arms its timer descriptor once per wake-up either way).
  std::unique_ptr<tTickTimer> m_pObjTimer[2];
  tTickTimer::time_point m_NextTick[2];
  // Tick handlers still queued after a close see this expire and touch nothing.
  std::shared_ptr<char> m_pTimerAlive;
  bool m_bDeviceOpened = false;
  int m_nTotalLine = 0;
  std::vector<uint8_t> mLineMediaStarted;
  bool m_bMuteMic = false;
  bool m_bMuteSpk = false;
  bool m_bMicBoostSoft = false;
  bool m_bSpkBoostSoft = false;
  int m_nSpkSoftVolume = 0;
  int m_nSpkWindowTicks = 0;
  int m_nSpkWindowMinFill = kDeviceBufferBytes;
  bool m_bSpkDropPending = false;
  bool m_bSpkDropAny = false;
};
