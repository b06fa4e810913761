#pragma once

#include <string>
#include <vector>

#include "host/cJsValue.h"

// One line of a console phone script: a call in JavaScript syntax such as
//   InitializeEx(false, "", 0, "alice", "alice", "secret", "Alice", "example.com", ...)
// with string ("..." or '...', with the usual backslash escapes), integer, decimal, boolean,
// null and undefined literals and an optional ';'; or one of the commands
//   wait <EventName> [seconds]    sleep <seconds>    quit
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
  // For wait and sleep; negative when a wait gave none.
  double GetSeconds() const { return m_dSeconds; }
  const std::string& GetError() const { return m_Error; }

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
  double m_dSeconds = -1;
  std::string m_Error;
};
