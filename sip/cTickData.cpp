#include "sip/cTickData.h"

void cTickData::Reset() { *this = cTickData(); }
