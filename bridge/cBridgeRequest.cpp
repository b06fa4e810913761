#include "bridge/cBridgeRequest.h"

#include <charconv>
#include <limits>
#include <nlohmann/json.hpp>

using json = nlohmann::json;

namespace {

bool ToValue(const json& arg, cJsValue* pValue) {
  if (arg.is_boolean()) {
    *pValue = cJsValue(arg.get<bool>());
  } else if (arg.is_number_integer()) {
    const bool bSigned = arg.is_number_unsigned();
    const auto nSigned = bSigned ? 0 : arg.get<int64_t>();
    const auto nUnsigned = bSigned ? arg.get<uint64_t>() : 0;
    if (!bSigned && nSigned >= std::numeric_limits<int32_t>::min() &&
        nSigned <= std::numeric_limits<int32_t>::max())
      *pValue = cJsValue(static_cast<int32_t>(nSigned));
    else if (bSigned && nUnsigned <= static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))
      *pValue = cJsValue(static_cast<int32_t>(nUnsigned));
    else
      *pValue = cJsValue(bSigned ? static_cast<double>(nUnsigned) : static_cast<double>(nSigned));
  } else if (arg.is_number_float()) {
    *pValue = cJsValue(arg.get<double>());
  } else if (arg.is_string()) {
    *pValue = cJsValue(arg.get<std::string>());
  } else if (arg.is_null()) {
    *pValue = cJsValue::Null();
  } else {
    return false;
  }
  return true;
}

bool Fail(std::string* pError, const std::string& reason) {
  *pError = reason;
  return false;
}

}  // namespace

bool cBridgeRequest::ParseCreate(const std::string& body, const cNPPage::tAttributes& defaults,
                                 cNPPage::tAttributes* pAttributes, std::string* pError) {
  const json parsed = body.empty() ? json::object() : json::parse(body, nullptr, false);
  if (!parsed.is_object()) return Fail(pError, "the body is not a JSON object");
  const json* pGiven = nullptr;
  if (parsed.contains("attributes") && parsed["attributes"].is_object())
    pGiven = &parsed["attributes"];
  pAttributes->clear();
  for (const auto& [name, fallback] : defaults) {
    std::string value = fallback;
    if (pGiven && pGiven->contains(name)) {
      const json& given = (*pGiven)[name];
      if (!given.is_string()) return Fail(pError, name + " is not text");
      value = given.get<std::string>();
    }
    if (name == "audio" && !value.empty() && value != "pulse" && value != "virtual")
      return Fail(pError, "audio is pulse or virtual");
    if (name == "srtp" && !value.empty() && value != "optional" && value != "mandatory")
      return Fail(pError, "srtp is optional or mandatory");
    if (!value.empty()) pAttributes->emplace_back(name, value);
  }
  return true;
}

bool cBridgeRequest::ParseCall(const std::string& body, std::string* pName, cNPPage::tArgs* pArgs,
                               std::string* pError) {
  const json parsed = json::parse(body, nullptr, false);
  if (!parsed.is_object() || !parsed.contains("fn") || !parsed["fn"].is_string())
    return Fail(pError, "the body needs {\"fn\": name, \"args\": [...]}");
  *pName = parsed["fn"].get<std::string>();
  pArgs->clear();
  if (!parsed.contains("args")) return true;
  const json& given = parsed["args"];
  if (!given.is_array() || given.size() > kMaxArgs)
    return Fail(pError, "args is an array of at most 32 values");
  for (const json& arg : given) {
    cJsValue value;
    if (!ToValue(arg, &value)) return Fail(pError, "an argument is an object or an array");
    pArgs->push_back(std::move(value));
  }
  return true;
}

std::string cBridgeRequest::BearerToken(const std::string& header) {
  const std::string prefix = "Bearer ";
  return header.compare(0, prefix.size(), prefix) == 0 ? header.substr(prefix.size()) : "";
}

uint64_t cBridgeRequest::EventNumber(const std::string& text) {
  uint64_t nValue = 0;
  std::from_chars(text.data(), text.data() + text.size(), nValue);
  return nValue;
}
