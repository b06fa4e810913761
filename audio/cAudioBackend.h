#pragma once

class cSound;

// Where the sound device's audio comes from and goes to. A backend's threads meet the media
// thread only through cSound::OnRecordDone and cSound::OnPlayFillData (ring buffers).
class cAudioBackend {
 public:
  virtual ~cAudioBackend() = default;
  // Starts capture and playback for the device. Answers 0, 14 when capture cannot start, or 15
  // when the audio system or playback cannot start; a failed open leaves nothing running.
  virtual int Open(cSound* pSound) = 0;
  virtual void Close() = 0;
  // Called on the media thread at the start of every 20 ms sound tick while open.
  virtual void OnSoundTick() {}
};
