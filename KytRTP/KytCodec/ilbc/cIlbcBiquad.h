#pragma once

// Second-order IIR section y = b0 x + b1 x1 + b2 x2 - a1 y1 - a2 y2, used
// for the encoder's input and the decoder's output high-pass filters.
class cIlbcBiquad {
 public:
  // pZero: b0, b1, b2; pPole: 1, a1, a2.
  cIlbcBiquad(const float* pZero, const float* pPole);
  void Process(const float* pIn, float* pOut, int nLen);

 private:
  const float* m_pZero;
  const float* m_pPole;
  float m_arrX[2] = {};
  float m_arrY[2] = {};
};
