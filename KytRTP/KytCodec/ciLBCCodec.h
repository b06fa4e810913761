#pragma once

#include <cstdint>
#include <memory>

#include "util/cKytNoCopy.h"

class cIlbcEncoder;
class cIlbcDecoder;

// iLBC (RFC 3951) over the project's own coder. Modes are frame lengths in ms: 20 (160 samples,
// 38 bytes) or 30 (240 samples, 50 bytes). A new object codes 30 ms frames both ways.
class ciLBCCodec : private cKytNoCopy {
 public:
  ciLBCCodec();
  ~ciLBCCodec();

  // A change of mode starts a fresh coder for that side; the same mode again does nothing.
  void SetEncodeMode(int nModeMs);
  void SetDecodeMode(int nModeMs);
  // A fresh decoder in the same mode, for a new source: the old one's history would colour the
  // new source's first frames and its concealment.
  void ResetDecoder();
  int GetEncodeMode() const { return m_nEncMode; }
  int GetDecodeMode() const { return m_nDecMode; }
  // 30 if the length is whole 30 ms frames, else 20 if whole 20 ms frames, else -1.
  static int GetStreamMode(int nSizeCoded);
  // The PCM bytes a payload of whole frames decodes to, whatever the decoder's mode now; -1 if
  // it is not whole frames.
  static int GetStreamSizePCM(int nSizeCoded);

  int EncodeOutPutSize(int nSizePCM) const;
  int Encode(const int16_t* pPCM, int nSizePCM, uint8_t* pOut);
  int DecodeOutPutSize(int nSizeCoded) const;
  int Decode(const uint8_t* pCoded, int nSizeCoded, int16_t* pOut);
  // The decoder's concealment of lost frames, in as many whole frames of its mode as nSamples
  // holds; the samples written.
  int DecodeLost(int16_t* pOut, int nSamples);
  bool IsValid(int nSizeCoded) const;

 private:
  int m_nEncMode = -1;
  int m_nDecMode = -1;
  int m_nEncPCMBlockSize = -1;
  int m_nEncILBCBlockSize = -1;
  int m_nDecPCMBlockSize = -1;
  int m_nDecILBCBlockSize = -1;
  std::unique_ptr<cIlbcEncoder> m_Enc_Inst;
  std::unique_ptr<cIlbcDecoder> m_Dec_Inst;
};
