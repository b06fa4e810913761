#pragma once

#include <cstdint>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

// FFmpeg's iLBC decoder behind the same shape as cIlbcDecoder, to run it on the same frames.
class cFfmpegIlbcDecoder {
 public:
  explicit cFfmpegIlbcDecoder(int nModeMs);
  ~cFfmpegIlbcDecoder();
  cFfmpegIlbcDecoder(const cFfmpegIlbcDecoder&) = delete;
  cFfmpegIlbcDecoder& operator=(const cFfmpegIlbcDecoder&) = delete;

  bool IsOpen() const { return m_bOpen; }
  int GetFrameBytes() const { return m_nFrameBytes; }
  // Decodes one frame of GetFrameBytes() bytes into pOut; returns the samples written.
  int Decode(const uint8_t* pFrame, int16_t* pOut);

 private:
  AVCodecContext* m_pContext = nullptr;
  AVFrame* m_pFrame = nullptr;
  AVPacket* m_pPacket = nullptr;
  int m_nFrameBytes;
  bool m_bOpen = false;
};
