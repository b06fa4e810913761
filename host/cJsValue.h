#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// A script value as a page sees it: what the page passes to a plug-in function and what comes
// back, or what an event function receives.
class cJsValue {
 public:
  enum class eType { kVoid, kNull, kBool, kInt, kDouble, kString, kObject };

  cJsValue() = default;  // void (undefined)
  cJsValue(bool bValue) : m_Type(eType::kBool), m_bValue(bValue) {}
  cJsValue(int32_t nValue) : m_Type(eType::kInt), m_nValue(nValue) {}
  cJsValue(double dValue) : m_Type(eType::kDouble), m_dValue(dValue) {}
  cJsValue(std::string text) : m_Type(eType::kString), m_Text(std::move(text)) {}
  cJsValue(const char* pText) : m_Type(eType::kString), m_Text(pText ? pText : "") {}
  static cJsValue Null();
  // Stands for an object handed over by the plug-in; the host keeps no reference to it.
  static cJsValue Object();

  eType GetType() const { return m_Type; }
  // The value of its own type; false, 0 or the empty text for the others.
  bool GetBool() const { return m_bValue; }
  int32_t GetInt() const { return m_nValue; }
  double GetDouble() const { return m_dValue; }
  const std::string& GetString() const { return m_Text; }

  // JSON text: void and null are null, strings are escaped with their UTF-8 bytes kept, objects
  // are {}, numbers that JSON cannot carry (NaN, infinities) are null.
  std::string ToJSON() const;
  static std::string ToJSON(const std::vector<cJsValue>& values);

  bool operator==(const cJsValue& other) const = default;

 private:
  explicit cJsValue(eType type) : m_Type(type) {}

  eType m_Type = eType::kVoid;
  bool m_bValue = false;
  int32_t m_nValue = 0;
  double m_dValue = 0;
  std::string m_Text;
};

// Prints the JSON text (test failure messages use it).
inline std::ostream& operator<<(std::ostream& out, const cJsValue& value) {
  return out << value.ToJSON();
}
