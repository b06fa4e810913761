#pragma once

// The system log (syslog), opened once per process under the plug-in's name.
class cSysLog {
 public:
  static void Write(const char* pFormat, ...) __attribute__((format(printf, 1, 2)));
};
