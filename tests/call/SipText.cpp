#include "SipText.h"

std::string ResponseTo(const std::string& request, int nCode, const std::string& reason,
                       const std::string& toTag, const std::string& extra,
                       const std::string& body) {
  std::string out = "SIP/2.0 " + std::to_string(nCode) + " " + reason + "\r\n";
  for (const auto& via : HeadersOf(request, "Via")) out += "Via: " + via + "\r\n";
  for (const auto& route : HeadersOf(request, "Record-Route")) {
    out += "Record-Route: " + route + "\r\n";
  }
  out += "From: " + HeaderOf(request, "From") + "\r\n";
  std::string to = HeaderOf(request, "To");
  if (!toTag.empty() && to.find(";tag=") == std::string::npos) to += ";tag=" + toTag;
  out += "To: " + to + "\r\n";
  out += "Call-ID: " + HeaderOf(request, "Call-ID") + "\r\n";
  out += "CSeq: " + HeaderOf(request, "CSeq") + "\r\n";
  out += extra;
  if (!body.empty()) out += "Content-Type: application/sdp\r\n";
  out += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  return out;
}
