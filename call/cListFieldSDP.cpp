#include "call/cListFieldSDP.h"

const char cListFieldSDP::m_cFieldNameSDP[FIELD_COUNT + 1] = "vosctma";

bool cListFieldSDP::IndexToField(int32_t nIndex, cKytSTR& name) {
  if (nIndex < 0 || nIndex >= FIELD_COUNT) return false;
  const char letter[2] = {m_cFieldNameSDP[nIndex], '\0'};
  name = letter;
  return true;
}

int32_t cListFieldSDP::FieldToIndex(const char* pName) {
  if (cKytSTR::StrLen(pName) != 1) return -1;
  for (int32_t i = 0; i < FIELD_COUNT; ++i) {
    if (m_cFieldNameSDP[i] == pName[0]) return i;
  }
  return -1;
}
