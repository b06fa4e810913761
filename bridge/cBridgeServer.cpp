#include "bridge/cBridgeServer.h"

#include <httplib.h>

#include <condition_variable>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>

#include "bridge/cBridgeAssets.h"
#include "bridge/cBridgeRequest.h"
#include "bridge/cBridgeSession.h"
#include "host/cNPHost.h"

using json = nlohmann::json;

namespace {

// Enough workers for an event stream and a call of every session at once, and the page files.
constexpr size_t kWorkers = 2 * cBridgeServer::kMaxSessions + 8;
// A script call waits this long for the main thread; only a plug-in stuck in a call takes longer.
constexpr std::chrono::seconds kMainThreadWait{30};
// An idle event stream sends a comment this often, which is how a closed tab is noticed.
constexpr std::chrono::milliseconds kHeartbeat{2000};
const char kSessionPath[] = R"(/v1/sessions/([0-9]+))";

// JSON text; texts from a page that are not UTF-8 come out with replacement characters.
std::string Text(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string Error(const std::string& message) { return Text(json{{"error", message}}); }

void Answer(httplib::Response& res, int nStatus, const std::string& body) {
  res.status = nStatus;
  res.set_content(body, "application/json");
}

// The token of "Authorization: Bearer <token>"; empty when there is none.
std::string BearerToken(const httplib::Request& req) {
  return cBridgeRequest::BearerToken(req.get_header_value("Authorization"));
}

}  // namespace

cBridgeServer::cBridgeServer(cNPHost* pHost, cBridgeOptions options)
    : m_pHost(pHost), m_Options(std::move(options)), m_pAlive(std::make_shared<bool>(true)) {}

cBridgeServer::~cBridgeServer() {
  if (!m_Threads.empty()) Stop();
}

bool cBridgeServer::Start(std::string* error) {
  for (const char* pAddress : {"127.0.0.1", "::1"}) {
    auto pServer = std::make_unique<httplib::Server>();
    pServer->new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
    pServer->set_payload_max_length(kMaxBody);
    pServer->set_tcp_nodelay(true);
    pServer->set_keep_alive_max_count(100000);
    Route(*pServer);
    if (m_Servers.empty()) {
      int nPort = m_Options.nPort
                      ? (pServer->bind_to_port(pAddress, m_Options.nPort) ? m_Options.nPort : -1)
                      : pServer->bind_to_any_port(pAddress);
      if (nPort <= 0) {
        *error = "cannot listen on 127.0.0.1:" + std::to_string(m_Options.nPort);
        return false;
      }
      m_nPort = static_cast<uint16_t>(nPort);
    } else if (!pServer->bind_to_port(pAddress, m_nPort)) {
      std::cerr << "kytbridge: no IPv6 loopback here; serving 127.0.0.1 only\n";
      continue;
    }
    m_Servers.push_back(std::move(pServer));
  }
  m_pGuard =
      std::make_unique<cBridgeGuard>(m_nPort, m_Options.allowOrigins, m_Options.bAllowNoOrigin);
  for (auto& pServer : m_Servers) {
    m_Threads.emplace_back([pRaw = pServer.get()] { pRaw->listen_after_bind(); });
    // A stop before the server runs would be lost, and its thread never end.
    for (int i = 0; i < 1000 && !pServer->is_running(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  m_nReapTimer = m_pHost->GetMainLoop().StartTimer(1000, [this] { Reap(); });
  return true;
}

void cBridgeServer::Stop() {
  m_bStopping = true;
  *m_pAlive = false;
  if (m_nReapTimer) m_pHost->GetMainLoop().StopTimer(m_nReapTimer);
  m_nReapTimer = 0;
  std::map<std::string, std::unique_ptr<cBridgeSession>> sessions;
  {
    std::lock_guard<std::mutex> guard(m_Lock);
    sessions.swap(m_Sessions);
  }
  for (auto& [id, pSession] : sessions) pSession->GetEventLog()->Close();
  for (auto& pServer : m_Servers) pServer->stop();
  for (auto& thread : m_Threads) thread.join();
  m_Threads.clear();
  m_Servers.clear();
}

size_t cBridgeServer::GetSessionCount() const {
  std::lock_guard<std::mutex> guard(m_Lock);
  return m_Sessions.size();
}

std::shared_ptr<cBridgeEventLog> cBridgeServer::FindEventLog(const std::string& id) const {
  std::lock_guard<std::mutex> guard(m_Lock);
  auto it = m_Sessions.find(id);
  return it == m_Sessions.end() ? nullptr : it->second->GetEventLog();
}

std::shared_ptr<cBridgeEventLog> cBridgeServer::Authorize(const std::string& id,
                                                          const std::string& token) const {
  std::lock_guard<std::mutex> guard(m_Lock);
  auto it = m_Sessions.find(id);
  if (it == m_Sessions.end() || !cBridgeGuard::TokensEqual(it->second->GetToken(), token))
    return nullptr;
  return it->second->GetEventLog();
}

void cBridgeServer::Route(httplib::Server& server) {
  server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    return Refuse(req, res) ? httplib::Server::HandlerResponse::Handled
                            : httplib::Server::HandlerResponse::Unhandled;
  });
  server.Get(R"(/|/index\.html|/kytsip\.js)",
             [](const httplib::Request& req, httplib::Response& res) {
               std::string body, type;
               if (!cBridgeAssets::Find(req.path, &body, &type)) return;
               res.set_header("Cache-Control", "no-cache");
               res.set_content(body, type.c_str());
             });
  auto bind = [this](void (cBridgeServer::*pHandler)(const httplib::Request&, httplib::Response&)) {
    return [this, pHandler](const httplib::Request& req, httplib::Response& res) {
      (this->*pHandler)(req, res);
    };
  };
  server.Options(R"(/v1/.*)", bind(&cBridgeServer::OnPreflight));
  server.Post("/v1/sessions", bind(&cBridgeServer::OnCreate));
  server.Post(std::string(kSessionPath) + "/call", bind(&cBridgeServer::OnCall));
  server.Get(std::string(kSessionPath) + "/events", bind(&cBridgeServer::OnEvents));
  server.Delete(kSessionPath, bind(&cBridgeServer::OnDelete));
}

bool cBridgeServer::Refuse(const httplib::Request& req, httplib::Response& res) {
  std::string reason, who;
  const bool bHasOrigin = req.has_header("Origin");
  const std::string origin = req.get_header_value("Origin");
  if (!m_pGuard->IsHostAllowed(req.get_header_value("Host"))) {
    reason = "host not allowed";
    who = req.get_header_value("Host");
  } else if (req.path.rfind("/v1/", 0) == 0 && req.method != "OPTIONS" &&
             !m_pGuard->IsOriginAllowed(origin, bHasOrigin,
                                        req.get_header_value("Sec-Fetch-Site"))) {
    reason = bHasOrigin ? "origin not allowed" : "a request without an origin";
    who = origin;
  }
  if (reason.empty()) {
    if (bHasOrigin) {
      res.set_header("Access-Control-Allow-Origin", origin);
      res.set_header("Vary", "Origin");
    }
    return false;
  }
  std::cerr << "kytbridge: refused " << req.method << ' ' << req.path << " (" << reason
            << (who.empty() ? "" : ": " + who) << ")\n";
  Answer(res, 403, Error(reason));
  return true;
}

void cBridgeServer::OnPreflight(const httplib::Request& req, httplib::Response& res) {
  const std::string origin = req.get_header_value("Origin");
  if (!m_pGuard->IsKnownOrigin(origin)) {
    std::cerr << "kytbridge: refused the preflight of " << req.path
              << " (origin not allowed: " << origin << ")\n";
    res.headers.erase("Access-Control-Allow-Origin");
    Answer(res, 403, Error("origin not allowed"));
    return;
  }
  res.status = 204;
  res.set_header("Access-Control-Allow-Methods", "GET, POST, DELETE");
  res.set_header("Access-Control-Allow-Headers", "Authorization, Content-Type, Last-Event-ID");
  res.set_header("Access-Control-Max-Age", "600");
  if (req.get_header_value("Access-Control-Request-Private-Network") == "true")
    res.set_header("Access-Control-Allow-Private-Network", "true");
}

cBridgeServer::cAnswer cBridgeServer::RunOnMain(std::function<cAnswer()> fn) {
  struct cShared {
    std::mutex lock;
    std::condition_variable done;
    bool bDone = false;
    cAnswer answer;
  };
  auto pShared = std::make_shared<cShared>();
  m_pHost->GetMainLoop().Post([pAlive = m_pAlive, pShared, fn = std::move(fn)] {
    if (!*pAlive) return;
    cAnswer answer = fn();
    std::lock_guard<std::mutex> guard(pShared->lock);
    pShared->answer = std::move(answer);
    pShared->bDone = true;
    pShared->done.notify_one();
  });
  std::unique_lock<std::mutex> guard(pShared->lock);
  const auto deadline = std::chrono::steady_clock::now() + kMainThreadWait;
  while (!pShared->bDone && !m_bStopping && std::chrono::steady_clock::now() < deadline)
    pShared->done.wait_for(guard, std::chrono::milliseconds(50));
  if (!pShared->bDone) return cAnswer{503, Error("the phone is not answering")};
  return pShared->answer;
}

void cBridgeServer::OnCreate(const httplib::Request& req, httplib::Response& res) {
  cNPPage::tAttributes attributes;
  std::string error;
  if (!cBridgeRequest::ParseCreate(req.body,
                                   {{"audio", m_Options.audio},
                                    {"mic", m_Options.mic},
                                    {"speaker", m_Options.speaker},
                                    {"srtp", m_Options.srtp}},
                                   &attributes, &error))
    return Answer(res, 400, Error(error));
  if (!m_Options.caFile.empty()) attributes.emplace_back("ca-file", m_Options.caFile);
  for (const auto& [name, value] : attributes) {
    if (name == "mic" && !std::ifstream(value))
      return Answer(res, 400, Error("cannot read the microphone file"));
  }
  cAnswer answer = RunOnMain([this, attributes] {
    std::string id;
    {
      std::lock_guard<std::mutex> guard(m_Lock);
      if (m_Sessions.size() >= kMaxSessions)
        return cAnswer{429, Error("too many sessions (at most 8)")};
      id = std::to_string(m_nNextSession++);
    }
    auto pSession =
        std::make_unique<cBridgeSession>(m_pHost, id, cBridgeGuard::NewToken(), attributes);
    if (!pSession->IsUp()) return cAnswer{500, Error("the plug-in refused a new instance")};
    cAnswer created{201, Text(json{{"id", id}, {"token", pSession->GetToken()}})};
    std::lock_guard<std::mutex> guard(m_Lock);
    m_Sessions[id] = std::move(pSession);
    return created;
  });
  Answer(res, answer.nStatus, answer.body);
}

void cBridgeServer::OnCall(const httplib::Request& req, httplib::Response& res) {
  const std::string id = req.matches[1];
  if (!Authorize(id, BearerToken(req)))
    return Answer(res, 401, Error("no session with this id and token"));
  std::string name, error;
  cNPPage::tArgs args;
  if (!cBridgeRequest::ParseCall(req.body, &name, &args, &error))
    return Answer(res, 400, Error(error));
  cAnswer answer = RunOnMain([this, id, name, args] {
    cBridgeSession* pSession = nullptr;
    {
      std::lock_guard<std::mutex> guard(m_Lock);
      auto it = m_Sessions.find(id);
      if (it != m_Sessions.end()) pSession = it->second.get();
    }
    // Sessions go only on this thread, so the pointer holds until this function ends.
    if (!pSession) return cAnswer{404, Error("the session has ended")};
    if (!pSession->HasFunction(name)) return cAnswer{404, Error(name + " is not a function")};
    cJsValue result;
    ++m_nCalls;
    if (!pSession->Call(name, args, &result)) return cAnswer{500, Error(name + " failed")};
    return cAnswer{200, "{\"result\":" + result.ToJSON() + "}"};
  });
  Answer(res, answer.nStatus, answer.body);
}

void cBridgeServer::OnEvents(const httplib::Request& req, httplib::Response& res) {
  std::shared_ptr<cBridgeEventLog> pLog = Authorize(req.matches[1], req.get_param_value("token"));
  if (!pLog) return Answer(res, 401, Error("no session with this id and token"));
  // A stream that comes back says where it stopped: EventSource by the header, the page
  // library (after a stream it had to open anew) by the parameter.
  const uint64_t nAfter = cBridgeRequest::EventNumber(req.has_header("Last-Event-ID")
                                                          ? req.get_header_value("Last-Event-ID")
                                                          : req.get_param_value("lastEventId"));
  pLog->StreamOpened();
  res.set_header("Cache-Control", "no-store");
  res.set_chunked_content_provider(
      "text/event-stream",
      [pLog, nNext = nAfter, bFirst = true](size_t, httplib::DataSink& sink) mutable {
        std::vector<cBridgeEventLog::cEvent> events;
        const bool bOpen = bFirst || pLog->Wait(nNext, kHeartbeat, &events);
        std::string text = bFirst ? "retry: 1000\n\n" : events.empty() ? ":\n\n" : "";
        bFirst = false;
        for (const auto& event : events) {
          text += "id: " + std::to_string(event.nId) + "\nevent: " + event.name +
                  "\ndata: " + event.data + "\n\n";
          nNext = event.nId;
        }
        if (!sink.write(text.data(), text.size())) return false;
        if (!bOpen) sink.done();
        return true;
      },
      [pLog](bool) { pLog->StreamClosed(); });
}

void cBridgeServer::OnDelete(const httplib::Request& req, httplib::Response& res) {
  const std::string id = req.matches[1];
  if (!Authorize(id, BearerToken(req)))
    return Answer(res, 401, Error("no session with this id and token"));
  cAnswer answer = RunOnMain([this, id] {
    std::unique_ptr<cBridgeSession> pSession;
    {
      std::lock_guard<std::mutex> guard(m_Lock);
      auto it = m_Sessions.find(id);
      if (it != m_Sessions.end()) {
        pSession = std::move(it->second);
        m_Sessions.erase(it);
      }
    }
    return pSession ? cAnswer{200, "{}"} : cAnswer{404, Error("the session has ended")};
  });
  Answer(res, answer.nStatus, answer.body);
}

void cBridgeServer::Reap() {
  std::vector<std::unique_ptr<cBridgeSession>> gone;
  {
    std::lock_guard<std::mutex> guard(m_Lock);
    for (auto it = m_Sessions.begin(); it != m_Sessions.end();) {
      if (it->second->GetEventLog()->IsStreamGoneFor(kStreamGrace)) {
        gone.push_back(std::move(it->second));
        it = m_Sessions.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (const auto& pSession : gone)
    std::cout << "kytbridge: session " << pSession->GetId()
              << " closed: its event stream has been gone for 10 s" << std::endl;
}
