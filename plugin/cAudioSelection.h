#pragma once

#include <cstdint>
#include <string>

class cKytSIPUserAgentLib;

// The sound device a page chooses for its user agent, with attributes of the embedding element:
//   audio="pulse"     the desktop's audio server (also what a page without the attribute gets)
//   audio="virtual"   no sound hardware: the microphone plays mic="FILE.wav" once and then
//                     silence (silence only without mic), the speaker is written to
//                     speaker="FILE.wav" (nowhere without speaker)
// Names and the two audio values are read without regard to case, as HTML does; mic and speaker
// mean nothing without audio="virtual"; every other attribute belongs to the page.
class cAudioSelection {
 public:
  // Reads the attributes NPP_New received. False, leaving the choice as it was, when the audio
  // attribute names a device we do not have.
  bool ReadAttributes(int16_t nCount, const char* const* names, const char* const* values);
  // Installs the chosen device in a user agent whose sound device is not open yet (the audio
  // server needs nothing: it is where every user agent starts). False when the user agent
  // refused it.
  bool ApplyTo(cKytSIPUserAgentLib& userAgent) const;

  bool IsVirtual() const { return m_bVirtual; }
  const std::string& GetMicWave() const { return m_sMicWave; }
  const std::string& GetSpeakerWave() const { return m_sSpeakerWave; }

 private:
  bool m_bVirtual = false;
  std::string m_sMicWave;
  std::string m_sSpeakerWave;
};
