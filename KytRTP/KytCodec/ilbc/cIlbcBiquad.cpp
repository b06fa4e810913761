#include "KytRTP/KytCodec/ilbc/cIlbcBiquad.h"

cIlbcBiquad::cIlbcBiquad(const float* pZero, const float* pPole) : m_pZero(pZero), m_pPole(pPole) {}

void cIlbcBiquad::Process(const float* pIn, float* pOut, int nLen) {
  // State and coefficients in locals: pOut might alias them, which would force a reload per step.
  const float fB0 = m_pZero[0], fB1 = m_pZero[1], fB2 = m_pZero[2];
  const float fA1 = m_pPole[1], fA2 = m_pPole[2];
  float fX1 = m_arrX[0], fX2 = m_arrX[1], fY1 = m_arrY[0], fY2 = m_arrY[1];
  for (int i = 0; i < nLen; i++) {
    const float fX = pIn[i];
    float fY = fB0 * fX + fB1 * fX1 + fB2 * fX2;
    fY -= fA1 * fY1;
    fY -= fA2 * fY2;
    fX2 = fX1;
    fX1 = fX;
    fY2 = fY1;
    fY1 = fY;
    pOut[i] = fY;
  }
  m_arrX[0] = fX1;
  m_arrX[1] = fX2;
  m_arrY[0] = fY1;
  m_arrY[1] = fY2;
}
