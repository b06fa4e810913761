// The bridge in-process with the real plug-in: what it refuses, and nothing refused reaches the
// plug-in; a stream that comes back resumes after the last event it saw; sessions without a
// stream are closed.

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <string>
#include <thread>

#include "bridge/cBridgeServer.h"
#include "host/cNPHost.h"

namespace {

class BridgeServer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_Host.Load(KYT_PLUGIN_PATH)) << m_Host.GetLastError();
    cBridgeOptions options;
    options.nPort = 0;
    options.audio = "virtual";
    options.allowOrigins = {"https://crm.example.com"};
    m_pServer = std::make_unique<cBridgeServer>(&m_Host, options);
    std::string error;
    ASSERT_TRUE(m_pServer->Start(&error)) << error;
    m_Own = "http://127.0.0.1:" + std::to_string(m_pServer->GetPort());
  }
  void TearDown() override {
    if (m_pServer) m_pServer->Stop();
  }

  // Runs the client on a thread of its own while the main loop serves the plug-in.
  void Client(const std::function<void(httplib::Client&)>& fn) {
    std::atomic<bool> bDone{false};
    std::thread client([&] {
      httplib::Client http("127.0.0.1", m_pServer->GetPort());
      fn(http);
      bDone = true;
    });
    m_Host.GetMainLoop().RunUntil([&] { return bDone.load(); }, std::chrono::seconds(60));
    client.join();
  }

  cNPHost m_Host;
  std::unique_ptr<cBridgeServer> m_pServer;
  std::string m_Own;
};

struct sRefusal {
  const char* pWhat;
  const char* pMethod;  // POST to the call endpoint unless OPTIONS
  std::string origin, host, token, body;
  int nStatus;
};

}  // namespace

TEST_F(BridgeServer, RefusesForeignHostsOriginsTokensAndBodiesBeforeThePlugInSeesThem) {
  Client([&](httplib::Client& http) {
    auto created = http.Post("/v1/sessions", {{"Origin", m_Own}}, "{}", "application/json");
    ASSERT_TRUE(created);
    ASSERT_EQ(201, created->status) << created->body;
    auto badSrtp = http.Post("/v1/sessions", {{"Origin", m_Own}},
                             R"({"attributes": {"srtp": "always"}})", "application/json");
    ASSERT_TRUE(badSrtp);
    EXPECT_EQ(400, badSrtp->status) << badSrtp->body;
    const std::string id = created->body.substr(created->body.find("\"id\":\"") + 6, 1);
    const std::string token = created->body.substr(created->body.find("\"token\":\"") + 9, 32);
    const std::string host = "127.0.0.1:" + std::to_string(m_pServer->GetPort());
    const std::string call = R"({"fn": "InitializeEx", "args": [true, "127.0.0.1", 0, "a", "a",
        "", "A", "127.0.0.1", "sip:127.0.0.1:9", "", true, 1]})";
    std::string wrong = token;
    wrong[31] = wrong[31] == '0' ? '1' : '0';
    const sRefusal refusals[] = {
        {"foreign Host", "POST", m_Own, "evil.example:80", token, call, 403},
        {"rebound name", "POST", m_Own, "evil.example:" + host.substr(10), token, call, 403},
        {"foreign Origin", "POST", "https://evil.example", host, token, call, 403},
        {"similar Origin", "POST", "https://crm.example.com.evil", host, token, call, 403},
        {"no Origin", "POST", "", host, token, call, 403},
        {"no token", "POST", m_Own, host, "", call, 401},
        {"wrong token", "POST", m_Own, host, wrong, call, 401},
        {"body over 1 MB", "POST", m_Own, host, token, std::string(1024 * 1024 + 1, ' '), 413},
        {"argument object", "POST", m_Own, host, token, R"({"fn":"GetVersionFile","args":[{}]})",
         400},
        {"unknown function", "POST", m_Own, host, token, R"({"fn":"Format","args":[]})", 404},
        {"preflight, foreign", "OPTIONS", "https://evil.example", host, "", "", 403},
    };
    for (const sRefusal& r : refusals) {
      httplib::Headers headers{{"Host", r.host}};
      if (!r.origin.empty()) headers.emplace("Origin", r.origin);
      if (!r.token.empty()) headers.emplace("Authorization", "Bearer " + r.token);
      auto res =
          std::string(r.pMethod) == "OPTIONS"
              ? http.Options("/v1/sessions", headers)
              : http.Post("/v1/sessions/" + id + "/call", headers, r.body, "application/json");
      ASSERT_TRUE(res) << r.pWhat;
      EXPECT_EQ(r.nStatus, res->status) << r.pWhat << ": " << res->body;
      EXPECT_EQ(r.nStatus == 403 ? "" : r.origin,
                res->get_header_value("Access-Control-Allow-Origin"))
          << r.pWhat;
    }
    EXPECT_EQ(0u, m_pServer->GetCallCount()) << "a refused request reached the plug-in";

    auto preflight =
        http.Options("/v1/sessions", {{"Origin", "https://crm.example.com"},
                                      {"Access-Control-Request-Method", "POST"},
                                      {"Access-Control-Request-Private-Network", "true"}});
    ASSERT_TRUE(preflight);
    EXPECT_EQ(204, preflight->status);
    EXPECT_EQ("true", preflight->get_header_value("Access-Control-Allow-Private-Network"));
    auto version =
        http.Post("/v1/sessions/" + id + "/call",
                  {{"Origin", "https://crm.example.com"}, {"Authorization", "Bearer " + token}},
                  R"({"fn": "GetVersionFile", "args": []})", "application/json");
    ASSERT_TRUE(version);
    EXPECT_EQ(R"({"result":"7.0.7.3"})", version->body);
    EXPECT_EQ(1u, m_pServer->GetCallCount());

    // A stream that comes back with Last-Event-ID gets what came after it, in order.
    auto pLog = m_pServer->FindEventLog(id);
    ASSERT_TRUE(pLog);
    for (const char* pName : {"OnConnecting", "OnSuccessToConnect", "OnDisconnectCall"})
      pLog->Add(pName, "[0]");
    std::string stream;
    http.Get("/v1/sessions/" + id + "/events?token=" + token,
             {{"Origin", m_Own}, {"Last-Event-ID", "1"}}, [&](const char* pData, size_t nSize) {
               stream.append(pData, nSize);
               return stream.find("OnDisconnectCall") == std::string::npos;
             });
    EXPECT_EQ(std::string::npos, stream.find("OnConnecting")) << stream;
    EXPECT_NE(std::string::npos,
              stream.find("id: 2\nevent: OnSuccessToConnect\ndata: [0]\n\nid: 3\nevent: "
                          "OnDisconnectCall\ndata: [0]\n\n"))
        << stream;

    for (size_t i = 1; i < cBridgeServer::kMaxSessions; ++i)
      EXPECT_EQ(201, http.Post("/v1/sessions", {{"Origin", m_Own}}, "", "")->status);
    EXPECT_EQ(429, http.Post("/v1/sessions", {{"Origin", m_Own}}, "", "")->status);
  });
  EXPECT_EQ(cBridgeServer::kMaxSessions, m_pServer->GetSessionCount());

  // None has an event stream now: after 10 s they are closed, as when their tabs went.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(m_Host.GetMainLoop().RunUntil([&] { return m_pServer->GetSessionCount() == 0; },
                                            std::chrono::seconds(15)));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
}
