#include "plugin/cAudioSelection.h"

#include <strings.h>

#include <utility>

#include "useragent/cKytSIPUserAgentLib.h"

namespace {

bool SameName(const char* pText, const char* pName) { return strcasecmp(pText, pName) == 0; }

}  // namespace

bool cAudioSelection::ReadAttributes(int16_t nCount, const char* const* names,
                                     const char* const* values) {
  if (nCount <= 0 || !names || !values) return true;
  cAudioSelection chosen;
  for (int16_t i = 0; i < nCount; ++i) {
    if (!names[i] || !values[i]) continue;
    if (SameName(names[i], "audio")) {
      if (SameName(values[i], "virtual"))
        chosen.m_bVirtual = true;
      else if (SameName(values[i], "pulse"))
        chosen.m_bVirtual = false;
      else
        return false;
    } else if (SameName(names[i], "mic")) {
      chosen.m_sMicWave = values[i];
    } else if (SameName(names[i], "speaker")) {
      chosen.m_sSpeakerWave = values[i];
    }
  }
  if (!chosen.m_bVirtual) {
    chosen.m_sMicWave.clear();
    chosen.m_sSpeakerWave.clear();
  }
  *this = std::move(chosen);
  return true;
}

bool cAudioSelection::ApplyTo(cKytSIPUserAgentLib& userAgent) const {
  // The user agent starts out on the audio server.
  if (!m_bVirtual) return true;
  return userAgent.UseVirtualSoundDevice(m_sMicWave.c_str(), m_sSpeakerWave.c_str());
}
