#include "host/cScriptLine.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <sstream>

#include "host/cScriptSignature.h"

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNameStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '$';
}
bool IsNameChar(char c) { return IsNameStart(c) || IsDigit(c); }

void SkipSpace(const std::string& text, size_t& pos) {
  while (pos < text.size() && IsSpace(text[pos])) ++pos;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendUTF8(uint32_t code, std::string* out) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// Reads n hex digits at pos; -1 when they are not there.
int64_t ReadHex(const std::string& text, size_t& pos, int n) {
  if (pos + n > text.size()) return -1;
  int64_t value = 0;
  for (int i = 0; i < n; ++i) {
    int digit = HexValue(text[pos + i]);
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  pos += n;
  return value;
}

// Seconds for wait and sleep: a non-negative decimal number.
bool ParseSeconds(const std::string& word, double* seconds) {
  if (word.empty() || word.size() > 32) return false;
  for (char c : word)
    if (!IsDigit(c) && c != '.') return false;
  char* end = nullptr;
  double value = std::strtod(word.c_str(), &end);
  if (*end != '\0' || !std::isfinite(value)) return false;
  *seconds = std::fmin(value, cScriptLine::kMaxSeconds);
  return true;
}

}  // namespace

bool cScriptLine::Fail(const std::string& error) {
  m_Error = error;
  m_Kind = eKind::kNothing;
  return false;
}

bool cScriptLine::Parse(const std::string& line) {
  m_Kind = eKind::kNothing;
  m_Name.clear();
  m_Args.clear();
  m_EventRefs.clear();
  m_nPendingRef = 0;
  m_dSeconds = -1;
  m_Error.clear();

  size_t pos = 0;
  SkipSpace(line, pos);
  if (pos == line.size() || line[pos] == '#') return true;

  size_t nameEnd = pos;
  while (nameEnd < line.size() && IsNameChar(line[nameEnd])) ++nameEnd;
  size_t after = nameEnd;
  SkipSpace(line, after);
  if (after < line.size() && line[after] == '(') return ParseCall(line);

  std::istringstream stream(line);
  std::vector<std::string> words;
  for (std::string word; stream >> word;) words.push_back(word);
  // Blanks SkipSpace does not know (vertical tab, form feed) make a line of nothing too.
  if (words.empty()) return true;
  return ParseCommand(words);
}

bool cScriptLine::ParseCommand(const std::vector<std::string>& words) {
  const std::string& command = words[0];
  if (command == "quit" || command == "exit") {
    if (words.size() != 1) return Fail(command + " takes nothing");
    m_Kind = eKind::kQuit;
    return true;
  }
  if (command == "sleep") {
    if (words.size() != 2 || !ParseSeconds(words[1], &m_dSeconds))
      return Fail("usage: sleep <seconds>");
    m_Kind = eKind::kSleep;
    return true;
  }
  if (command == "wait") {
    if (words.size() < 2 || words.size() > 3) return Fail("usage: wait <EventName> [seconds]");
    if (!cScriptSignature::IsEvent(words[1]))
      return Fail("not one of the plug-in's " + std::to_string(cScriptSignature::EventCount()) +
                  " events: " + words[1]);
    if (words.size() == 3 && !ParseSeconds(words[2], &m_dSeconds))
      return Fail("usage: wait <EventName> [seconds]");
    m_Name = words[1];
    m_Kind = eKind::kWait;
    return true;
  }
  return Fail("not a call or a command: " + command);
}

bool cScriptLine::ParseCall(const std::string& line) {
  size_t pos = 0;
  SkipSpace(line, pos);
  if (!IsNameStart(line[pos])) return Fail("a function name starts with a letter");
  size_t start = pos;
  while (pos < line.size() && IsNameChar(line[pos])) ++pos;
  m_Name = line.substr(start, pos - start);
  SkipSpace(line, pos);
  ++pos;  // '('
  SkipSpace(line, pos);
  if (pos < line.size() && line[pos] == ')') {
    ++pos;
  } else {
    for (;;) {
      cJsValue value;
      if (!ParseValue(line, pos, &value)) return false;
      m_Args.push_back(std::move(value));
      m_EventRefs.push_back(m_nPendingRef);
      m_nPendingRef = 0;
      SkipSpace(line, pos);
      if (pos < line.size() && line[pos] == ',') {
        ++pos;
        SkipSpace(line, pos);
        continue;
      }
      if (pos < line.size() && line[pos] == ')') {
        ++pos;
        break;
      }
      return Fail("expected ',' or ')' at column " + std::to_string(pos + 1));
    }
  }
  SkipSpace(line, pos);
  if (pos < line.size() && line[pos] == ';') ++pos;
  SkipSpace(line, pos);
  if (pos != line.size()) return Fail("unexpected text after the call: " + line.substr(pos));
  m_Kind = eKind::kCall;
  return true;
}

bool cScriptLine::ParseValue(const std::string& text, size_t& pos, cJsValue* value) {
  if (pos >= text.size()) return Fail("a value is missing at the end of the line");
  char c = text[pos];
  if (c == '"' || c == '\'') {
    std::string s;
    if (!ParseString(text, pos, &s)) return false;
    *value = cJsValue(std::move(s));
    return true;
  }
  if (IsDigit(c) || c == '-' || c == '+' || c == '.') return ParseNumber(text, pos, value);
  if (c == '$' && pos + 1 < text.size() && IsDigit(text[pos + 1])) {
    size_t start = ++pos;
    while (pos < text.size() && IsDigit(text[pos])) ++pos;
    if (pos - start > 2 || text[start] == '0') return Fail("$ takes an argument number, 1 to 99");
    m_nPendingRef = std::stoi(text.substr(start, pos - start));
    *value = cJsValue();
    return true;
  }
  if (IsNameStart(c)) {
    size_t start = pos;
    while (pos < text.size() && IsNameChar(text[pos])) ++pos;
    std::string word = text.substr(start, pos - start);
    if (word == "true")
      *value = cJsValue(true);
    else if (word == "false")
      *value = cJsValue(false);
    else if (word == "null")
      *value = cJsValue::Null();
    else if (word == "undefined")
      *value = cJsValue();
    else
      return Fail("not a literal: " + word);
    return true;
  }
  return Fail("not a value at column " + std::to_string(pos + 1));
}

bool cScriptLine::ParseString(const std::string& text, size_t& pos, std::string* out) {
  char quote = text[pos++];
  while (pos < text.size()) {
    char c = text[pos++];
    if (c == quote) return true;
    if (c != '\\') {
      out->push_back(c);
      continue;
    }
    if (pos >= text.size()) break;
    char e = text[pos++];
    switch (e) {
      case 'n':
        out->push_back('\n');
        break;
      case 'r':
        out->push_back('\r');
        break;
      case 't':
        out->push_back('\t');
        break;
      case 'b':
        out->push_back('\b');
        break;
      case 'f':
        out->push_back('\f');
        break;
      case 'v':
        out->push_back('\v');
        break;
      case '0':
        out->push_back('\0');
        break;
      case 'x': {
        int64_t code = ReadHex(text, pos, 2);
        if (code < 0) return Fail("\\x needs two hex digits");
        AppendUTF8(static_cast<uint32_t>(code), out);
        break;
      }
      case 'u': {
        int64_t code = ReadHex(text, pos, 4);
        if (code < 0) return Fail("\\u needs four hex digits");
        // A surrogate pair makes one character beyond the basic plane.
        if (code >= 0xD800 && code < 0xDC00 && pos + 1 < text.size() && text[pos] == '\\' &&
            text[pos + 1] == 'u') {
          size_t next = pos + 2;
          int64_t low = ReadHex(text, next, 4);
          if (low >= 0xDC00 && low < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            pos = next;
          }
        }
        AppendUTF8(static_cast<uint32_t>(code), out);
        break;
      }
      default:
        out->push_back(e);  // \\, \", \' and any other character stand for themselves
    }
  }
  return Fail("a string is not closed");
}

bool cScriptLine::ParseNumber(const std::string& text, size_t& pos, cJsValue* value) {
  size_t start = pos;
  if (text[pos] == '-' || text[pos] == '+') ++pos;
  bool bDigits = false, bInteger = true;
  while (pos < text.size() && IsDigit(text[pos])) ++pos, bDigits = true;
  if (pos < text.size() && text[pos] == '.') {
    bInteger = false;
    ++pos;
    while (pos < text.size() && IsDigit(text[pos])) ++pos, bDigits = true;
  }
  if (bDigits && pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    bInteger = false;
    ++pos;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) ++pos;
    if (pos >= text.size() || !IsDigit(text[pos])) return Fail("an exponent needs digits");
    while (pos < text.size() && IsDigit(text[pos])) ++pos;
  }
  if (!bDigits) return Fail("not a number at column " + std::to_string(start + 1));
  std::string number = text.substr(start, pos - start);
  errno = 0;
  double d = std::strtod(number.c_str(), nullptr);
  // Whole numbers of the 32-bit range travel as integers, everything else as a double, as
  // browsers pass them.
  if (bInteger && errno == 0 && d >= std::numeric_limits<int32_t>::min() &&
      d <= std::numeric_limits<int32_t>::max())
    *value = cJsValue(static_cast<int32_t>(d));
  else
    *value = cJsValue(d);
  return true;
}
