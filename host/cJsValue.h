#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

// A script value as a page sees it: what the page passes to a plug-in function and what comes
// back, or what an event function receives.
class cJsValue {
 public:
  enum class eType { kVoid, kNull, kBool, kInt, kDouble, kString, kObject };

  cJsValue() = default;  // void (undefined)
  cJsValue(bool bValue) : m_Value(bValue) {}
  cJsValue(int32_t nValue) : m_Value(nValue) {}
  cJsValue(double dValue) : m_Value(dValue) {}
  cJsValue(std::string text) : m_Value(std::move(text)) {}
  cJsValue(const char* pText) : m_Value(std::string(pText ? pText : "")) {}
  static cJsValue Null();
  // Stands for an object handed over by the plug-in; the host keeps no reference to it.
  static cJsValue Object();

  eType GetType() const;
  bool GetBool() const;
  int32_t GetInt() const;
  double GetDouble() const;
  const std::string& GetString() const;

  // JSON text: void and null are null, strings are escaped with their UTF-8 bytes kept, objects
  // are {}, numbers that JSON cannot carry (NaN, infinities) are null.
  std::string ToJSON() const;
  static std::string ToJSON(const std::vector<cJsValue>& values);

  bool operator==(const cJsValue& other) const = default;

 private:
  struct cNull {
    bool operator==(const cNull&) const = default;
  };
  struct cObject {
    bool operator==(const cObject&) const = default;
  };
  std::variant<std::monostate, cNull, bool, int32_t, double, std::string, cObject> m_Value;
};

// Prints the JSON text (test failure messages use it).
inline std::ostream& operator<<(std::ostream& out, const cJsValue& value) {
  return out << value.ToJSON();
}
