#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>
#include <vector>

#include "audio/cAudioBackend.h"
#include "util/cKytNoCopy.h"

struct pa_context;
struct pa_mainloop_api;
struct pa_time_event;
struct timeval;
struct pa_stream;
struct pa_threaded_mainloop;

// The desktop's audio server through the PulseAudio client library (also served by PipeWire):
// one capture and one playback stream of 8000 Hz signed 16-bit mono, so the server converts
// rates, with the media role "phone" so that the server's echo canceller applies. The server is
// the one the environment names (PULSE_SERVER), else the user's own.
//
// Opening talks to the server on a thread of its own. Open waits for it only briefly: a server
// that answers at once (or is not there) gives its answer as before, while a slow one no longer
// holds the media thread, and with it the page's call. The streams then start when the server
// gets to them; if it never does, the device stays silent until it is closed.
class cPulseAudioBackend : public cAudioBackend, private cKytNoCopy {
 public:
  ~cPulseAudioBackend() override;

  int Open(cSound* pSound) override;
  void Close() override;

  // How long Open waits for the server before it lets the opening go on by itself.
  static constexpr int kSettleMs = 20;

 private:
  // The connection, on the opener thread: 0, or the code of Open.
  int Connect();
  // Releases the streams, the context and the loop; the opener has ended.
  bool ConnectContext();
  pa_stream* ConnectStream(bool bRecord);
  static void OnContextState(pa_context* pContext, void* pUser);
  static void OnStreamState(pa_stream* pStream, void* pUser);
  static void OnRead(pa_stream* pStream, size_t nBytes, void* pUser);
  static void OnWrite(pa_stream* pStream, size_t nBytes, void* pUser);
  static void OnDeadline(pa_mainloop_api* pApi, pa_time_event* pEvent, const struct timeval* pTime,
                         void* pUser);

  pa_threaded_mainloop* m_pMainLoop = nullptr;
  pa_context* m_pContext = nullptr;
  pa_stream* m_pRecord = nullptr;
  pa_stream* m_pPlay = nullptr;
  cSound* m_pSound = nullptr;
  // Set when the server did not answer in time; read and written under the main loop's lock.
  bool m_bTimedOut = false;
  // Set when Close gives up on an opening (also under that lock, which the race detector cannot
  // see inside libpulse).
  std::atomic<bool> m_bAbort{false};
  std::thread m_Opener;
  // Captured bytes short of a whole unit; touched only on the audio server's thread.
  std::vector<uint8_t> m_RawMic;
  std::vector<uint8_t> m_PlayChunk;
};
