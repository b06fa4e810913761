#pragma once

#include <string>
#include <vector>

#include "host/cJsValue.h"

// One line of a console phone script: a call in JavaScript syntax such as
//   InitializeEx(false, "", 0, "alice", "alice", "secret", "Alice", "example.com", ...)
// with string ("..." or '...', with the usual backslash escapes), integer, decimal, boolean,
// null and undefined literals, $1, $2, ... for the arguments of the event the last wait took,
// and an optional ';'; or one of the commands
//   wait <EventName> [seconds]    sleep <seconds>    quit
// Seconds above kMaxSeconds count as kMaxSeconds; wait knows the plug-in's events only.
// Empty lines and lines starting with '#' do nothing.
class cScriptLine {
 public:
  enum class eKind { kNothing, kCall, kWait, kSleep, kQuit };

  // False, with a reason in GetError(), when the line is none of the above.
  bool Parse(const std::string& line);

  eKind GetKind() const { return m_Kind; }
  // The function or event name.
  const std::string& GetName() const { return m_Name; }
  const std::vector<cJsValue>& GetArgs() const { return m_Args; }
  // One per argument: N for $N, 0 for a literal.
  const std::vector<int32_t>& GetEventRefs() const { return m_EventRefs; }
  // For wait and sleep; negative when a wait gave none.
  double GetSeconds() const { return m_dSeconds; }
  const std::string& GetError() const { return m_Error; }

  // A day: longer than any script means to wait, short enough to count in milliseconds.
  static constexpr double kMaxSeconds = 86400;

 private:
  bool Fail(const std::string& error);
  bool ParseCall(const std::string& line);
  bool ParseCommand(const std::vector<std::string>& words);
  bool ParseValue(const std::string& text, size_t& pos, cJsValue* value);
  bool ParseString(const std::string& text, size_t& pos, std::string* out);
  bool ParseNumber(const std::string& text, size_t& pos, cJsValue* value);

  eKind m_Kind = eKind::kNothing;
  std::string m_Name;
  std::vector<cJsValue> m_Args;
  std::vector<int32_t> m_EventRefs;
  int32_t m_nPendingRef = 0;
  double m_dSeconds = -1;
  std::string m_Error;
};
