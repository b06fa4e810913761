#include "cFfmpegIlbcDecoder.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

cFfmpegIlbcDecoder::cFfmpegIlbcDecoder(int nModeMs) : m_nFrameBytes(nModeMs == 20 ? 38 : 50) {
  const AVCodec* pCodec = avcodec_find_decoder(AV_CODEC_ID_ILBC);
  if (pCodec == nullptr) return;
  m_pContext = avcodec_alloc_context3(pCodec);
  m_pFrame = av_frame_alloc();
  m_pPacket = av_packet_alloc();
  if (m_pContext == nullptr || m_pFrame == nullptr || m_pPacket == nullptr) return;
  // The frame size tells FFmpeg the mode.
  m_pContext->block_align = m_nFrameBytes;
  m_pContext->sample_rate = 8000;
  av_channel_layout_default(&m_pContext->ch_layout, 1);
  m_bOpen = avcodec_open2(m_pContext, pCodec, nullptr) == 0 &&
            av_new_packet(m_pPacket, m_nFrameBytes) == 0;
}

cFfmpegIlbcDecoder::~cFfmpegIlbcDecoder() {
  av_packet_free(&m_pPacket);
  av_frame_free(&m_pFrame);
  avcodec_free_context(&m_pContext);
}

int cFfmpegIlbcDecoder::Decode(const uint8_t* pFrame, int16_t* pOut) {
  // The decoder has let go of the previous packet, so this normally copies nothing.
  if (!m_bOpen || av_packet_make_writable(m_pPacket) != 0) return 0;
  std::memcpy(m_pPacket->data, pFrame, static_cast<size_t>(m_nFrameBytes));
  if (avcodec_send_packet(m_pContext, m_pPacket) != 0) return 0;
  if (avcodec_receive_frame(m_pContext, m_pFrame) != 0) return 0;
  const int nSamples = m_pFrame->format == AV_SAMPLE_FMT_S16 ? m_pFrame->nb_samples : 0;
  std::memcpy(pOut, m_pFrame->data[0], sizeof(int16_t) * static_cast<size_t>(nSamples));
  av_frame_unref(m_pFrame);
  return nSamples;
}
