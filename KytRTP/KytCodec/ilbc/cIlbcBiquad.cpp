#include "KytRTP/KytCodec/ilbc/cIlbcBiquad.h"

cIlbcBiquad::cIlbcBiquad(const float* pZero, const float* pPole) : m_pZero(pZero), m_pPole(pPole) {}

void cIlbcBiquad::Process(const float* pIn, float* pOut, int nLen) {
  for (int i = 0; i < nLen; i++) {
    const float fX = pIn[i];
    float fY = m_pZero[0] * fX + m_pZero[1] * m_arrX[0] + m_pZero[2] * m_arrX[1];
    fY -= m_pPole[1] * m_arrY[0];
    fY -= m_pPole[2] * m_arrY[1];
    m_arrX[1] = m_arrX[0];
    m_arrX[0] = fX;
    m_arrY[1] = m_arrY[0];
    m_arrY[0] = fY;
    pOut[i] = fY;
  }
}
