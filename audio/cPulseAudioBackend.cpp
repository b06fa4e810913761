#include "audio/cPulseAudioBackend.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <future>

#include "audio/cAudioUnit.h"
#include "audio/cSound.h"
#include "platform/cSysLog.h"
#include "util/eKytError.h"

namespace {

constexpr char kAppName[] = "KytSIPUserAgent";
// A server that accepts the connection but never answers must not hold the media thread.
constexpr pa_usec_t kOpenTimeoutUsec = 5 * PA_USEC_PER_SEC;

pa_proplist* PhoneProperties() {
  pa_proplist* pList = pa_proplist_new();
  pa_proplist_sets(pList, PA_PROP_MEDIA_ROLE, "phone");
  pa_proplist_sets(pList, PA_PROP_APPLICATION_NAME, kAppName);
  return pList;
}

}  // namespace

cPulseAudioBackend::~cPulseAudioBackend() { Close(); }

void cPulseAudioBackend::OnContextState(pa_context*, void* pUser) {
  pa_threaded_mainloop_signal(static_cast<cPulseAudioBackend*>(pUser)->m_pMainLoop, 0);
}

void cPulseAudioBackend::OnStreamState(pa_stream*, void* pUser) {
  pa_threaded_mainloop_signal(static_cast<cPulseAudioBackend*>(pUser)->m_pMainLoop, 0);
}

void cPulseAudioBackend::OnDeadline(pa_mainloop_api*, pa_time_event*, const struct timeval*,
                                    void* pUser) {
  auto* pSelf = static_cast<cPulseAudioBackend*>(pUser);
  pSelf->m_bTimedOut = true;
  pa_threaded_mainloop_signal(pSelf->m_pMainLoop, 0);
}

void cPulseAudioBackend::OnRead(pa_stream* pStream, size_t, void* pUser) {
  auto* pSelf = static_cast<cPulseAudioBackend*>(pUser);
  const void* pData = nullptr;
  size_t nBytes = 0;
  while (pa_stream_readable_size(pStream) > 0) {
    if (pa_stream_peek(pStream, &pData, &nBytes) < 0 || nBytes == 0) return;
    if (pData) {
      const auto* pBytes = static_cast<const uint8_t*>(pData);
      pSelf->m_RawMic.insert(pSelf->m_RawMic.end(), pBytes, pBytes + nBytes);
    }
    pa_stream_drop(pStream);
  }
  size_t nPos = 0;
  for (; nPos + cAudioUnit::kBytes <= pSelf->m_RawMic.size(); nPos += cAudioUnit::kBytes)
    pSelf->m_pSound->OnRecordDone(pSelf->m_RawMic.data() + nPos, cAudioUnit::kBytes);
  pSelf->m_RawMic.erase(pSelf->m_RawMic.begin(), pSelf->m_RawMic.begin() + nPos);
}

void cPulseAudioBackend::OnWrite(pa_stream* pStream, size_t nBytes, void* pUser) {
  auto* pSelf = static_cast<cPulseAudioBackend*>(pUser);
  pSelf->m_PlayChunk.resize(nBytes);
  // Unit by unit, so a request larger than what is queued still plays what there is.
  for (size_t nPos = 0; nPos < nBytes; nPos += cAudioUnit::kBytes) {
    const size_t nChunk = std::min<size_t>(cAudioUnit::kBytes, nBytes - nPos);
    pSelf->m_pSound->OnPlayFillData(pSelf->m_PlayChunk.data() + nPos, static_cast<int>(nChunk));
  }
  pa_stream_write(pStream, pSelf->m_PlayChunk.data(), nBytes, nullptr, 0, PA_SEEK_RELATIVE);
}

bool cPulseAudioBackend::ConnectContext() {
  pa_proplist* pList = PhoneProperties();
  m_pContext =
      pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_pMainLoop), kAppName, pList);
  pa_proplist_free(pList);
  if (!m_pContext) return false;
  pa_context_set_state_callback(m_pContext, &OnContextState, this);
  if (pa_context_connect(m_pContext, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return false;
  for (;;) {
    const pa_context_state_t state = pa_context_get_state(m_pContext);
    if (state == PA_CONTEXT_READY) return true;
    if (!PA_CONTEXT_IS_GOOD(state) || m_bTimedOut || m_bAbort) return false;
    pa_threaded_mainloop_wait(m_pMainLoop);
  }
}

pa_stream* cPulseAudioBackend::ConnectStream(bool bRecord) {
  const pa_sample_spec format = {PA_SAMPLE_S16LE, cAudioUnit::kSampleRate, 1};
  pa_proplist* pList = PhoneProperties();
  pa_stream* pStream = pa_stream_new_with_proplist(m_pContext, bRecord ? "capture" : "playback",
                                                   &format, nullptr, pList);
  pa_proplist_free(pList);
  if (!pStream) return nullptr;
  pa_stream_set_state_callback(pStream, &OnStreamState, this);
  pa_buffer_attr attr;
  attr.maxlength = static_cast<uint32_t>(-1);
  attr.fragsize = cAudioUnit::kBytes;
  attr.tlength = 4 * cAudioUnit::kBytes;
  attr.prebuf = static_cast<uint32_t>(-1);
  attr.minreq = cAudioUnit::kBytes;
  int nResult;
  if (bRecord) {
    pa_stream_set_read_callback(pStream, &OnRead, this);
    nResult = pa_stream_connect_record(pStream, nullptr, &attr, PA_STREAM_ADJUST_LATENCY);
  } else {
    pa_stream_set_write_callback(pStream, &OnWrite, this);
    nResult = pa_stream_connect_playback(pStream, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr,
                                         nullptr);
  }
  while (nResult >= 0) {
    const pa_stream_state_t state = pa_stream_get_state(pStream);
    if (state == PA_STREAM_READY) return pStream;
    if (!PA_STREAM_IS_GOOD(state) || m_bTimedOut || m_bAbort) break;
    pa_threaded_mainloop_wait(m_pMainLoop);
  }
  pa_stream_set_state_callback(pStream, nullptr, nullptr);
  pa_stream_set_read_callback(pStream, nullptr, nullptr);
  pa_stream_set_write_callback(pStream, nullptr, nullptr);
  pa_stream_disconnect(pStream);
  pa_stream_unref(pStream);
  return nullptr;
}

int cPulseAudioBackend::Open(cSound* pSound) {
  Close();
  m_pSound = pSound;
  m_RawMic.clear();
  m_pMainLoop = pa_threaded_mainloop_new();
  if (!m_pMainLoop || pa_threaded_mainloop_start(m_pMainLoop) < 0) {
    Close();
    return kErrSoundOutput;
  }
  m_bTimedOut = false;
  m_bAbort = false;
  std::packaged_task<int()> connect([this] { return Connect(); });
  std::future<int> code = connect.get_future();
  m_Opener = std::thread(std::move(connect));
  if (code.wait_for(std::chrono::milliseconds(kSettleMs)) == std::future_status::timeout) return 0;
  m_Opener.join();
  const int nCode = code.get();
  if (nCode != 0) Close();
  return nCode;
}

int cPulseAudioBackend::Connect() {
  pa_threaded_mainloop_lock(m_pMainLoop);
  pa_mainloop_api* pApi = pa_threaded_mainloop_get_api(m_pMainLoop);
  struct timeval deadline;
  pa_timeval_add(pa_gettimeofday(&deadline), kOpenTimeoutUsec);
  pa_time_event* pDeadline = pApi->time_new(pApi, &deadline, &OnDeadline, this);
  int nCode = 0;
  // The context and the playback stream fail with the same code.
  if (!ConnectContext())
    nCode = kErrSoundOutput;  // NOLINT(bugprone-branch-clone)
  else if (!(m_pRecord = ConnectStream(true)))
    nCode = kErrSoundInput;
  else if (!(m_pPlay = ConnectStream(false)))
    nCode = kErrSoundOutput;
  if (pDeadline) pApi->time_free(pDeadline);
  const bool bAbort = m_bAbort.load();
  pa_threaded_mainloop_unlock(m_pMainLoop);
  if (nCode != 0 && !bAbort) cSysLog::Write("The audio server did not open (code %d)", nCode);
  return nCode;
}

void cPulseAudioBackend::Close() {
  if (!m_pMainLoop) return;
  if (m_Opener.joinable()) {
    pa_threaded_mainloop_lock(m_pMainLoop);
    m_bAbort = true;
    pa_threaded_mainloop_signal(m_pMainLoop, 0);
    pa_threaded_mainloop_unlock(m_pMainLoop);
    m_Opener.join();
  }
  pa_threaded_mainloop_lock(m_pMainLoop);
  for (pa_stream** ppStream : {&m_pRecord, &m_pPlay}) {
    if (!*ppStream) continue;
    pa_stream_set_state_callback(*ppStream, nullptr, nullptr);
    pa_stream_set_read_callback(*ppStream, nullptr, nullptr);
    pa_stream_set_write_callback(*ppStream, nullptr, nullptr);
    pa_stream_disconnect(*ppStream);
    pa_stream_unref(*ppStream);
    *ppStream = nullptr;
  }
  if (m_pContext) {
    pa_context_set_state_callback(m_pContext, nullptr, nullptr);
    pa_context_disconnect(m_pContext);
    pa_context_unref(m_pContext);
    m_pContext = nullptr;
  }
  pa_threaded_mainloop_unlock(m_pMainLoop);
  pa_threaded_mainloop_stop(m_pMainLoop);
  pa_threaded_mainloop_free(m_pMainLoop);
  m_pMainLoop = nullptr;
  m_pSound = nullptr;
}
