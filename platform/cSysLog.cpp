#include "platform/cSysLog.h"

#include <syslog.h>

#include <cstdarg>
#include <mutex>

void cSysLog::Write(const char* pFormat, ...) {
  static std::once_flag s_Opened;
  std::call_once(s_Opened, [] { openlog("npKytSIPUserAgent", LOG_PID, LOG_USER); });
  va_list args;
  va_start(args, pFormat);
  vsyslog(LOG_DEBUG, pFormat, args);
  va_end(args);
}
