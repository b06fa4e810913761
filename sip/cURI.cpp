#include "sip/cURI.h"

#include <string>
#include <string_view>

#include "sip/cQuoteSIP.h"
#include "sip/cTextSIP.h"

namespace {

constexpr uint32_t kNotFound = cKytSTR::KYT_NOT_FOUND;

bool StartsWith(const cKytSTR& text, const char* pPrefix) {
  return cKytSTR::StrFind(text.GetDATA(), pPrefix) == 0;
}

}  // namespace

void cURI::PrepareParseURI(const cKytSTR& uri, cKytSTR& working) {
  cKytSTR plain = cTextSIP::Lower(uri);
  plain.RemoveSTR(" ");
  if (StartsWith(plain, "sip:") || StartsWith(plain, "sips:")) {
    working.Format("<%s>", uri.GetDATA());
  } else if (plain.FindSTR("<sip:") != kNotFound || plain.FindSTR("<sips:") != kNotFound) {
    working = uri;
  } else {
    working.Format("<sip:%s>", uri.GetDATA());
  }
}

bool cURI::ParseURI(const cKytSTR& uri, cKytSTR& host, int32_t& nPort, cKytSTR& user,
                    cKytSTR& displayName, cKytListSTR* pParamNames, cKytListSTR* pParamValues) {
  const bool bParams = pParamNames && pParamValues;
  if (bParams) {
    pParamNames->DeleteAll();
    pParamValues->DeleteAll();
  }
  host = "";
  user = "";
  nPort = 5060;

  cKytSTR working;
  PrepareParseURI(uri, working);
  // The scheme is matched in any letter case; positions are the same in both texts.
  const cKytSTR lower = cTextSIP::Lower(working);

  // A quoted display name may hold '<' itself; one whose quote never closes is read plainly.
  uint32_t nCursor = cQuoteSIP::FindUnquoted(working, '<');
  if (nCursor == kNotFound) nCursor = working.FindSTR("<");
  cKytSTR rawName;
  cTextSIP::Mid(working, 0, nCursor, rawName);
  cQuoteSIP::UnquoteDisplayName(rawName, displayName);

  uint32_t nUser = lower.FindSTR("<sip:", nCursor);
  if (nUser != kNotFound) {
    nUser += 5;
  } else {
    nUser = lower.FindSTR("<sips:", nCursor);
    if (nUser == kNotFound) return false;
    nUser += 6;
  }
  nCursor = nUser;

  // The URI proper ends at the first '>' after the scheme; nothing behind it (header
  // parameters such as the tag) belongs to user, host or URI parameters.
  uint32_t nClose = working.FindSTR(">", nCursor);
  if (nClose == kNotFound) nClose = working.GetLEN();
  cKytSTR inner;
  cTextSIP::Mid(working, 0, nClose, inner);

  uint32_t nAt = inner.FindSTR("@", nCursor);
  if (nAt != kNotFound) {
    cTextSIP::Mid(inner, nCursor, nAt, user);
    user.Trim(" ");
    uint32_t nUserParam = user.FindSTR(";");
    if (nUserParam != kNotFound) cTextSIP::Mid(user, 0, nUserParam, user);
    nCursor = nAt + 1;
  }

  uint32_t nSemi = inner.FindSTR(";", nCursor);
  uint32_t nHostEnd = nSemi == kNotFound ? inner.GetLEN() : nSemi;
  cKytSTR hostPort;
  cTextSIP::Mid(inner, nCursor, nHostEnd, hostPort);
  cTextSIP::SplitHostPort(hostPort, host, nPort);

  if (bParams && nSemi != kNotFound) {
    // name=value pairs separated by ';'; one without '=' ends the list.
    std::string_view rest(inner.GetDATA() + nSemi + 1, inner.GetLEN() - nSemi - 1);
    while (!rest.empty()) {
      size_t nEnd = rest.find(';');
      std::string_view param = rest.substr(0, nEnd);
      size_t nEqual = param.find('=');
      if (nEqual == std::string_view::npos) break;
      pParamNames->AddTailSTR(std::string(param.substr(0, nEqual)).c_str());
      pParamValues->AddTailSTR(std::string(param.substr(nEqual + 1)).c_str());
      if (nEnd == std::string_view::npos) break;
      rest.remove_prefix(nEnd + 1);
    }
  }
  return !host.IsZeroLEN();
}

bool cURI::Parse(const cKytSTR& uri, cKytSTR& displayName, cKytSTR& user, cKytSTR& host,
                 int32_t& nPort) {
  return ParseURI(uri, host, nPort, user, displayName, nullptr, nullptr);
}

bool cURI::Parse(const cKytSTR& uri, cKytSTR& displayName, cKytSTR& user, cKytSTR& host,
                 int32_t& nPort, cKytSTR& maddr) {
  cKytListSTR names;
  cKytListSTR values;
  bool bOk = ParseURI(uri, host, nPort, user, displayName, &names, &values);
  int32_t nIndex = names.FindNoCaseIndex("maddr");
  if (nIndex >= 0) values.GetAt(nIndex, maddr);
  return bOk;
}

void cURI::Construct(const cKytSTR& displayName, const cKytSTR& user, const cKytSTR& host,
                     int32_t nPort, cKytSTR& text) {
  ConstructURI(displayName, user, host, nPort, nullptr, nullptr, text);
}

void cURI::ConstructContact(const cKytSTR& user, const cKytSTR& host, int32_t nPort,
                            eTransportSIP transport, cKytSTR& text) {
  if (transport == eTransportSIP::UDP) {
    Construct("", user, host, nPort, text);
    return;
  }
  cKytListSTR names;
  cKytListSTR values;
  names.AddTail("transport");
  values.AddTail(transport == eTransportSIP::TCP ? "tcp" : "tls");
  ConstructURI("", user, host, nPort, &names, &values, text);
}

void cURI::ConstructURI(const cKytSTR& displayName, const cKytSTR& user, const cKytSTR& host,
                        int32_t nPort, const cKytListSTR* pParamNames,
                        const cKytListSTR* pParamValues, cKytSTR& text) {
  cKytSTR name(displayName);
  name.Trim("\"");
  cKytSTR display;
  if (!name.IsZeroLEN()) {
    cQuoteSIP::QuoteDisplayName(name, display);
    display.AppendSTR(" ");
  }
  cKytSTR userAt;
  if (!user.IsZeroLEN()) {
    cQuoteSIP::EscapeUser(user, userAt);
    userAt.AppendSTR("@");
  }
  cKytSTR port;
  if (nPort != 0) port.Format(":%d", nPort);
  std::string params;
  if (pParamNames) {
    cKytSTR paramName;
    cKytSTR paramValue;
    for (int32_t i = 0; pParamNames->GetAt(i, paramName) && !paramName.IsZeroLEN(); ++i) {
      paramValue = "";
      if (pParamValues) pParamValues->GetAt(i, paramValue);
      params.append(";").append(paramName.GetDATA()).append("=").append(paramValue.GetDATA());
    }
  }
  text.Format("%s<sip:%s%s%s%s>", display.GetDATA(), userAt.GetDATA(), host.GetDATA(),
              port.GetDATA(), params.c_str());
}

bool cURI::IsSipURI(const cKytSTR& uri) {
  if (!cQuoteSIP::IsLineSafe(uri)) return false;
  cKytSTR displayName;
  cKytSTR user;
  cKytSTR host;
  int32_t nPort = 0;
  if (!Parse(uri, displayName, user, host, nPort)) return false;
  return cQuoteSIP::IsHostName(host) && nPort > 0 && nPort <= 65535;
}

bool cURI::GetTag(const cKytSTR& value, cKytSTR& tag) {
  uint32_t nAt = value.FindSTR(";tag=");
  if (nAt == kNotFound) return false;
  cTextSIP::From(value, nAt + 5, tag);
  return true;
}

bool cURI::AdjustProxyURI(const cKytSTR& proxy, cKytSTR& uri) {
  if (proxy.GetLEN() <= 4) return false;
  if (StartsWith(cTextSIP::Lower(proxy), "sip:")) {
    uri = proxy;
  } else {
    uri.Format("sip:%s", proxy.GetDATA());
  }
  return true;
}

void cURI::PrepareToURI(const cKytSTR& target, cKytSTR& to) {
  cKytSTR displayName;
  cKytSTR user;
  cKytSTR host;
  int32_t nPort = 0;
  Parse(target, displayName, user, host, nPort);
  Construct(displayName, user, host, 0, to);
}

void cURI::PrepareRequestURI(const cKytSTR& target, cKytSTR& requestURI) {
  cKytSTR displayName;
  cKytSTR user;
  cKytSTR host;
  int32_t nPort = 0;
  cKytListSTR names;
  cKytListSTR values;
  ParseURI(target, host, nPort, user, displayName, &names, &values);
  if (nPort == 5060) nPort = 0;
  cKytSTR built;
  ConstructURI("", user, host, nPort, &names, &values, built);
  // Drop the angle brackets of the name-addr form.
  cTextSIP::Mid(built, 1, built.GetLEN() - 1, requestURI);
}
