#include "audio/cPitchShift.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "audio/cAudioUnit.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kStep = cPitchShift::kFrameSize / cPitchShift::kOversampling;  // 51
constexpr int kLatency = cPitchShift::kFrameSize - kStep;                    // 461
constexpr int kHalf = cPitchShift::kFrameSize / 2;

double Window(int k) { return -0.5 * std::cos(2.0 * kPi * k / cPitchShift::kFrameSize) + 0.5; }

}  // namespace

float cPitchShift::PitchFactor(int nValue) { return 0.4f + 0.1f * std::clamp(nValue, 0, 20); }

double cPitchShift::smbAtan2(double x, double y) { return std::atan2(x, y); }

void cPitchShift::smbFft(float* pBuffer, int nFrameSize, int nSign) {
  // Bit-reversed reordering of the complex values.
  for (int i = 1, j = 0; i < nFrameSize; ++i) {
    int nBit = nFrameSize >> 1;
    for (; j & nBit; nBit >>= 1) j ^= nBit;
    j ^= nBit;
    if (i < j) {
      std::swap(pBuffer[2 * i], pBuffer[2 * j]);
      std::swap(pBuffer[2 * i + 1], pBuffer[2 * j + 1]);
    }
  }
  for (int nLen = 2; nLen <= nFrameSize; nLen <<= 1) {
    const double dAngle = nSign * 2.0 * kPi / nLen;
    const double wr = std::cos(dAngle), wi = std::sin(dAngle);
    for (int nStart = 0; nStart < nFrameSize; nStart += nLen) {
      double ur = 1.0, ui = 0.0;
      for (int k = 0; k < nLen / 2; ++k) {
        float* p1 = pBuffer + 2 * (nStart + k);
        float* p2 = pBuffer + 2 * (nStart + k + nLen / 2);
        const double tr = p2[0] * ur - p2[1] * ui;
        const double ti = p2[0] * ui + p2[1] * ur;
        p2[0] = static_cast<float>(p1[0] - tr);
        p2[1] = static_cast<float>(p1[1] - ti);
        p1[0] = static_cast<float>(p1[0] + tr);
        p1[1] = static_cast<float>(p1[1] + ti);
        const double nr = ur * wr - ui * wi;
        ui = ur * wi + ui * wr;
        ur = nr;
      }
    }
  }
}

void cPitchShift::ProcessFrame(float fPitchShift, float fSampleRate) {
  const double dBinWidth = fSampleRate / kFrameSize;
  const double dExpected = 2.0 * kPi * kStep / kFrameSize;

  for (int k = 0; k < kFrameSize; ++k) {
    gFFTworksp[2 * k] = static_cast<float>(gInFIFO[k] * Window(k));
    gFFTworksp[2 * k + 1] = 0.0f;
  }
  smbFft(gFFTworksp.data(), kFrameSize, -1);

  for (int k = 0; k <= kHalf; ++k) {
    const double re = gFFTworksp[2 * k], im = gFFTworksp[2 * k + 1];
    const double dMagn = 2.0 * std::sqrt(re * re + im * im);
    const double dPhase = smbAtan2(im, re);
    double d = dPhase - gLastPhase[k] - k * dExpected;
    gLastPhase[k] = static_cast<float>(dPhase);
    long q = static_cast<long>(d / kPi);
    q += q >= 0 ? (q & 1) : -(q & 1);
    d -= kPi * q;
    gAnaMagn[k] = static_cast<float>(dMagn);
    gAnaFreq[k] = static_cast<float>(k * dBinWidth + kOversampling * d / (2.0 * kPi) * dBinWidth);
  }

  std::fill(gSynMagn.begin(), gSynMagn.end(), 0.0f);
  std::fill(gSynFreq.begin(), gSynFreq.end(), 0.0f);
  for (int k = 0; k <= kHalf; ++k) {
    const int nTarget = static_cast<int>(k * fPitchShift);
    if (nTarget <= kHalf) {
      gSynMagn[nTarget] += gAnaMagn[k];
      gSynFreq[nTarget] = gAnaFreq[k] * fPitchShift;
    }
  }

  for (int k = 0; k <= kHalf; ++k) {
    const double d =
        (gSynFreq[k] - k * dBinWidth) / dBinWidth * 2.0 * kPi / kOversampling + k * dExpected;
    gSumPhase[k] = static_cast<float>(gSumPhase[k] + d);
    gFFTworksp[2 * k] = static_cast<float>(gSynMagn[k] * std::cos(gSumPhase[k]));
    gFFTworksp[2 * k + 1] = static_cast<float>(gSynMagn[k] * std::sin(gSumPhase[k]));
  }
  std::fill(gFFTworksp.begin() + kFrameSize + 2, gFFTworksp.end(), 0.0f);
  smbFft(gFFTworksp.data(), kFrameSize, 1);

  for (int k = 0; k < kFrameSize; ++k)
    gOutputAccum[k] +=
        static_cast<float>(2.0 * Window(k) * gFFTworksp[2 * k] / (kHalf * kOversampling));
  std::copy_n(gOutputAccum.begin(), kStep, gOutFIFO.begin());
  std::copy(gOutputAccum.begin() + kStep, gOutputAccum.end(), gOutputAccum.begin());
  std::fill(gOutputAccum.end() - kStep, gOutputAccum.end(), 0.0f);
  std::copy_n(gInFIFO.begin() + kStep, kLatency, gInFIFO.begin());
}

void cPitchShift::smbPitchShift(int nSamples, float fPitchShift, float fSampleRate,
                                const float* pIn, float* pOut) {
  if (gRover == 0) gRover = kLatency;
  for (int i = 0; i < nSamples; ++i) {
    gInFIFO[gRover] = pIn[i];
    pOut[i] = gOutFIFO[gRover - kLatency];
    if (++gRover >= kFrameSize) {
      gRover = kLatency;
      ProcessFrame(fPitchShift, fSampleRate);
    }
  }
}

void cPitchShift::UpdatePitchUnitPCM(int nValue, const int16_t* pIn, int16_t* pOut) {
  float in[cAudioUnit::kSamples], out[cAudioUnit::kSamples];
  for (int i = 0; i < cAudioUnit::kSamples; ++i) in[i] = pIn[i] / 32768.0f;
  smbPitchShift(cAudioUnit::kSamples, PitchFactor(nValue), float{cAudioUnit::kSampleRate}, in, out);
  for (int i = 0; i < cAudioUnit::kSamples; ++i) {
    // Clamp in floating point first so the conversion cannot overflow.
    const double dValue = std::clamp(static_cast<double>(out[i]) * 32768.0, -40000.0, 40000.0);
    pOut[i] = cAudioUnit::GetSaturatedValue(static_cast<int32_t>(dValue));
  }
}
