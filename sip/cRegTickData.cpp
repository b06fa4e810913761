#include "sip/cRegTickData.h"

void cRegTickData::Reset() { *this = cRegTickData(); }
