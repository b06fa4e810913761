#pragma once

#include <array>
#include <cstdint>

// Voice changer: shifts the pitch of the voice without changing its speed, with a short-time
// Fourier transform phase vocoder (512-sample frames, oversampling 10). The output lags the
// input by 461 samples.
class cPitchShift {
 public:
  static constexpr int kFrameSize = 512;
  static constexpr int kOversampling = 10;

  // Pitch factor of a changer value (clamped to 0..20): 0.4 + 0.1 * value; 6 leaves the pitch.
  static float PitchFactor(int nValue);

  // One unit through the shifter; pIn and pOut may be the same.
  void UpdatePitchUnitPCM(int nValue, const int16_t* pIn, int16_t* pOut);

  void smbPitchShift(int nSamples, float fPitchShift, float fSampleRate, const float* pIn,
                     float* pOut);
  // In-place radix-2 FFT of nFrameSize interleaved complex values; nSign -1 forward, 1 inverse.
  static void smbFft(float* pBuffer, int nFrameSize, int nSign);
  static double smbAtan2(double x, double y);

 private:
  void ProcessFrame(float fPitchShift, float fSampleRate);

  std::array<float, kFrameSize> gInFIFO{};
  std::array<float, kFrameSize> gOutFIFO{};
  std::array<float, 2 * kFrameSize> gFFTworksp{};
  std::array<float, kFrameSize / 2 + 1> gLastPhase{};
  std::array<float, kFrameSize / 2 + 1> gSumPhase{};
  std::array<float, 2 * kFrameSize> gOutputAccum{};
  std::array<float, kFrameSize> gAnaFreq{};
  std::array<float, kFrameSize> gAnaMagn{};
  std::array<float, kFrameSize> gSynFreq{};
  std::array<float, kFrameSize> gSynMagn{};
  int gRover = 0;
};
