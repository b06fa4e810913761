#include "host/cJsValue.h"

#include <charconv>
#include <cmath>

cJsValue cJsValue::Null() { return cJsValue(eType::kNull); }

cJsValue cJsValue::Object() { return cJsValue(eType::kObject); }

namespace {

void AppendJSONString(const std::string& text, std::string* out) {
  static const char kHex[] = "0123456789abcdef";
  out->push_back('"');
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out->append("\\\"");
        break;
      case '\\':
        out->append("\\\\");
        break;
      case '\n':
        out->append("\\n");
        break;
      case '\r':
        out->append("\\r");
        break;
      case '\t':
        out->append("\\t");
        break;
      default:
        if (c < 0x20 || c == 0x7f) {
          out->append("\\u00");
          out->push_back(kHex[c >> 4]);
          out->push_back(kHex[c & 15]);
        } else {
          out->push_back(static_cast<char>(c));
        }
    }
  }
  out->push_back('"');
}

}  // namespace

std::string cJsValue::ToJSON() const {
  switch (GetType()) {
    case eType::kBool:
      return GetBool() ? "true" : "false";
    case eType::kInt:
      return std::to_string(GetInt());
    case eType::kDouble: {
      double d = GetDouble();
      if (!std::isfinite(d)) return "null";
      char buffer[64];
      auto [end, ec] = std::to_chars(buffer, buffer + sizeof(buffer), d);
      return ec == std::errc() ? std::string(buffer, end) : "null";
    }
    case eType::kString: {
      std::string out;
      AppendJSONString(GetString(), &out);
      return out;
    }
    case eType::kObject:
      return "{}";
    default:
      return "null";
  }
}

std::string cJsValue::ToJSON(const std::vector<cJsValue>& values) {
  std::string out = "[";
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) out.append(", ");
    out.append(values[i].ToJSON());
  }
  out.push_back(']');
  return out;
}
