#include "SipText.h"

#include <cstdlib>

namespace {

std::string HeadOf(const std::string& text) {
  size_t nEnd = text.find("\r\n\r\n");
  return nEnd == std::string::npos ? text : text.substr(0, nEnd + 2);
}

}  // namespace

std::vector<std::string> HeadersOf(const std::string& text, const std::string& name) {
  std::vector<std::string> values;
  std::string head = HeadOf(text);
  size_t nPos = head.find("\r\n");
  while (nPos != std::string::npos && nPos + 2 < head.size()) {
    size_t nStart = nPos + 2;
    size_t nEnd = head.find("\r\n", nStart);
    if (nEnd == std::string::npos) break;
    std::string line = head.substr(nStart, nEnd - nStart);
    if (line.rfind(name + ": ", 0) == 0) values.push_back(line.substr(name.size() + 2));
    nPos = nEnd;
  }
  return values;
}

std::string HeaderOf(const std::string& text, const std::string& name) {
  auto values = HeadersOf(text, name);
  return values.empty() ? "" : values.front();
}

int CSeqNumberOf(const std::string& text) { return atoi(HeaderOf(text, "CSeq").c_str()); }

std::string BranchOf(const std::string& text) {
  std::string via = HeaderOf(text, "Via");
  size_t nPos = via.find("branch=");
  if (nPos == std::string::npos) return "";
  std::string branch = via.substr(nPos + 7);
  return branch.substr(0, branch.find(';'));
}

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
