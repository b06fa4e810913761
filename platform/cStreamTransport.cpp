#include "platform/cStreamTransport.h"

#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

#include <array>
#include <asio/connect.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>
#include <asio/ssl.hpp>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>
#include <deque>
#include <optional>
#include <utility>

namespace {

using asio::ip::tcp;

// Shares the port with the listener (and the other connections from it).
void SharePort(tcp::socket& socket) {
  socket.set_option(asio::socket_base::reuse_address(true));
  int one = 1;
  setsockopt(socket.native_handle(), SOL_SOCKET, SO_REUSEPORT, &one, sizeof one);
}

bool IsAddressLiteral(const std::string& sName) {
  asio::error_code ec;
  asio::ip::make_address(sName, ec);
  return !ec;
}

}  // namespace

struct cStreamTransport::sImpl {
  asio::io_context context;
  asio::executor_work_guard<asio::io_context::executor_type> work{context.get_executor()};
  std::optional<tcp::acceptor> acceptor;
  tcp::endpoint listenAt;
  bool bListening = false;
  // Only the transport's thread touches it.
  std::map<uint32_t, std::shared_ptr<sConn>> conns;
};

struct cStreamTransport::sConn {
  uint32_t nId = 0;
  std::optional<tcp::socket> plain;
  std::unique_ptr<asio::ssl::context> pTlsContext;
  std::unique_ptr<asio::ssl::stream<tcp::socket>> pTls;
  std::optional<asio::steady_timer> connectTimer;
  bool bUp = false;
  bool bWriting = false;
  bool bGone = false;
  std::deque<std::string> queue;
  size_t nQueued = 0;
  bool bIncoming = false;
  std::array<char, 16384> buffer{};
  std::shared_ptr<std::atomic<size_t>> pWaiting = std::make_shared<std::atomic<size_t>>(0);

  tcp::socket& Socket() { return pTls ? pTls->next_layer() : *plain; }
  template <typename Fn>
  void WithStream(Fn fn) {
    if (pTls)
      fn(*pTls);
    else
      fn(*plain);
  }
};

cStreamTransport::cStreamTransport(cMainLoop* pLoop, DataFn fnData, StateFn fnState,
                                   AcceptFn fnAccept)
    : m_pLoop(pLoop),
      m_pData(std::make_shared<DataFn>(std::move(fnData))),
      m_pState(std::make_shared<StateFn>(std::move(fnState))),
      m_pAccept(std::make_shared<AcceptFn>(std::move(fnAccept))) {}

cStreamTransport::~cStreamTransport() { Stop(); }

bool cStreamTransport::Start() {
  if (m_pImpl) return true;
  if (!m_pLoop) return false;
  m_pImpl = std::make_unique<sImpl>();
  m_pAlive = std::make_shared<std::atomic<bool>>(true);
  m_Thread = std::thread([this] { m_pImpl->context.run(); });
  return true;
}

bool cStreamTransport::Listen(const std::string& ip, uint16_t nPort) {
  if (!Start() || m_pImpl->bListening) return false;
  asio::error_code ec;
  const asio::ip::address address =
      ip.empty() ? asio::ip::address(asio::ip::address_v4::any()) : asio::ip::make_address(ip, ec);
  if (ec) return false;
  // Opened here, before the thread ever sees it, so the answer is known at once.
  tcp::acceptor acceptor(m_pImpl->context);
  const tcp::endpoint at(address, nPort);
  acceptor.open(at.protocol(), ec);
  if (ec) return false;
  int one = 1;
  acceptor.set_option(asio::socket_base::reuse_address(true), ec);
  setsockopt(acceptor.native_handle(), SOL_SOCKET, SO_REUSEPORT, &one, sizeof one);
  acceptor.bind(at, ec);
  if (!ec) acceptor.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) return false;
  m_pImpl->bListening = true;
  asio::post(m_pImpl->context,
             [this, pAcceptor = std::make_shared<tcp::acceptor>(std::move(acceptor)), at] {
               m_pImpl->acceptor.emplace(std::move(*pAcceptor));
               m_pImpl->listenAt = at;
               Accept();
             });
  return true;
}

uint32_t cStreamTransport::Connect(const std::string& ip, uint16_t nPort, const sTls* pTls) {
  if (!Start()) return 0;
  const uint32_t nId = ++m_nLastConn;
  std::optional<sTls> tls;
  if (pTls) tls = *pTls;
  asio::post(m_pImpl->context, [this, nId, ip, nPort, tls] {
    if (m_pImpl->conns.size() >= kMaxConnections) {
      PostState(nId, false, "too many connections");
      return;
    }
    auto pConn = std::make_shared<sConn>();
    pConn->nId = nId;
    if (!tls) {
      pConn->plain.emplace(m_pImpl->context);
    } else {
      // TLS 1.2 and later only (RFC 8996), the server's certificate checked against the
      // system's trust store, the extra CA file and the name we asked for (RFC 5922).
      pConn->pTlsContext = std::make_unique<asio::ssl::context>(asio::ssl::context::tls_client);
      SSL_CTX* pCtx = pConn->pTlsContext->native_handle();
      SSL_CTX_set_min_proto_version(pCtx, TLS1_2_VERSION);
      asio::error_code ec;
      pConn->pTlsContext->set_default_verify_paths(ec);
      if (!tls->sCaFile.empty()) {
        pConn->pTlsContext->load_verify_file(tls->sCaFile, ec);
        if (ec) {
          PostState(nId, false, "CA file " + tls->sCaFile + " unreadable");
          return;
        }
      }
      pConn->pTlsContext->set_verify_mode(asio::ssl::verify_peer);
      pConn->pTls =
          std::make_unique<asio::ssl::stream<tcp::socket>>(m_pImpl->context, *pConn->pTlsContext);
      SSL* pSsl = pConn->pTls->native_handle();
      X509_VERIFY_PARAM* pParam = SSL_get0_param(pSsl);
      if (IsAddressLiteral(tls->sServerName)) {
        X509_VERIFY_PARAM_set1_ip_asc(pParam, tls->sServerName.c_str());
      } else {
        SSL_set_tlsext_host_name(pSsl, tls->sServerName.c_str());
        X509_VERIFY_PARAM_set_hostflags(pParam, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        X509_VERIFY_PARAM_set1_host(pParam, tls->sServerName.c_str(), 0);
      }
    }
    m_pImpl->conns[nId] = pConn;
    pConn->connectTimer.emplace(m_pImpl->context, kConnectTimeout);
    pConn->connectTimer->async_wait([this, pConn](const asio::error_code& error) {
      if (!error && !pConn->bUp) Drop(pConn, "timed out");
    });
    DoConnect(pConn, ip, nPort, m_pImpl->bListening);
  });
  return nId;
}

void cStreamTransport::DoConnect(const std::shared_ptr<sConn>& pConn, const std::string& ip,
                                 uint16_t nPort, bool bFromListenPort) {
  asio::error_code ec;
  const tcp::endpoint to(asio::ip::make_address(ip, ec), nPort);
  if (ec) {
    Drop(pConn, "not an address: " + ip);
    return;
  }
  tcp::socket& socket = pConn->Socket();
  socket.open(to.protocol(), ec);
  if (ec) {
    Drop(pConn, ec.message());
    return;
  }
  const bool bBound = bFromListenPort && m_pImpl->listenAt.protocol() == to.protocol();
  if (bBound) {
    SharePort(socket);
    socket.bind(m_pImpl->listenAt, ec);
    if (ec) {
      Drop(pConn, ec.message());
      return;
    }
  }
  socket.async_connect(to, [this, pConn, ip, nPort, bBound](const asio::error_code& error) {
    if (pConn->bGone) return;
    if (error && bBound) {
      // The port may still hold the last connection to the same peer (TIME_WAIT): any port
      // will do then.
      asio::error_code ignored;
      pConn->Socket().close(ignored);
      DoConnect(pConn, ip, nPort, false);
      return;
    }
    if (error) {
      Drop(pConn, error.message());
      return;
    }
    if (pConn->pTls) {
      Handshake(pConn);
      return;
    }
    pConn->bUp = true;
    pConn->connectTimer->cancel();
    PostState(pConn->nId, true, "");
    Read(pConn);
    Write(pConn);
  });
}

void cStreamTransport::Handshake(const std::shared_ptr<sConn>& pConn) {
  pConn->pTls->async_handshake(
      asio::ssl::stream_base::client, [this, pConn](const asio::error_code& error) {
        if (pConn->bGone) return;
        if (error) {
          const long nVerify = SSL_get_verify_result(pConn->pTls->native_handle());
          Drop(pConn, nVerify != X509_V_OK ? std::string("certificate not accepted: ") +
                                                 X509_verify_cert_error_string(nVerify)
                                           : "TLS handshake failed: " + error.message());
          return;
        }
        pConn->bUp = true;
        pConn->connectTimer->cancel();
        PostState(pConn->nId, true, "");
        Read(pConn);
        Write(pConn);
      });
}

void cStreamTransport::Accept() {
  m_pImpl->acceptor->async_accept([this](const asio::error_code& error, tcp::socket socket) {
    if (error == asio::error::operation_aborted || !m_pImpl->acceptor->is_open()) return;
    size_t nIncoming = 0;
    for (const auto& [nId, pConn] : m_pImpl->conns) nIncoming += pConn->bIncoming ? 1 : 0;
    if (!error && nIncoming < kMaxIncoming) {
      asio::error_code ec;
      const tcp::endpoint from = socket.remote_endpoint(ec);
      if (!ec) {
        auto pConn = std::make_shared<sConn>();
        pConn->nId = ++m_nLastConn;
        pConn->plain.emplace(std::move(socket));
        pConn->bUp = true;
        pConn->bIncoming = true;
        m_pImpl->conns[pConn->nId] = pConn;
        m_pLoop->Post([pAlive = m_pAlive, pFn = m_pAccept, nId = pConn->nId,
                       ip = from.address().to_string(), nPort = from.port()] {
          if (pAlive->load()) (*pFn)(nId, ip, nPort);
        });
        Read(pConn);
      }
    }
    Accept();
  });
}

void cStreamTransport::Read(const std::shared_ptr<sConn>& pConn) {
  pConn->WithStream([this, pConn](auto& stream) {
    stream.async_read_some(
        asio::buffer(pConn->buffer), [this, pConn](const asio::error_code& error, size_t nRead) {
          if (pConn->bGone) return;
          if (error) {
            Drop(pConn, error == asio::error::eof ? "closed by peer" : error.message());
            return;
          }
          if (pConn->pWaiting->load() + nRead > kMaxWaitingBytes) {
            Drop(pConn, "peer sends faster than we read");
            return;
          }
          *pConn->pWaiting += nRead;
          m_pLoop->Post([pAlive = m_pAlive, pFn = m_pData, pWaiting = pConn->pWaiting,
                         nId = pConn->nId, data = std::string(pConn->buffer.data(), nRead)] {
            *pWaiting -= data.size();
            if (pAlive->load()) (*pFn)(nId, data);
          });
          Read(pConn);
        });
  });
}

void cStreamTransport::Send(uint32_t nConn, std::string data) {
  if (!m_pImpl || data.empty()) return;
  asio::post(m_pImpl->context, [this, nConn, data = std::move(data)]() mutable {
    auto found = m_pImpl->conns.find(nConn);
    if (found == m_pImpl->conns.end()) return;
    const std::shared_ptr<sConn> pConn = found->second;
    if (pConn->nQueued + data.size() > kMaxQueuedBytes) {
      Drop(pConn, "send queue full");
      return;
    }
    pConn->nQueued += data.size();
    pConn->queue.push_back(std::move(data));
    Write(pConn);
  });
}

void cStreamTransport::Write(const std::shared_ptr<sConn>& pConn) {
  if (!pConn->bUp || pConn->bWriting || pConn->queue.empty()) return;
  pConn->bWriting = true;
  pConn->WithStream([this, pConn](auto& stream) {
    asio::async_write(stream, asio::buffer(pConn->queue.front()),
                      [this, pConn](const asio::error_code& error, size_t) {
                        pConn->bWriting = false;
                        if (pConn->bGone) return;
                        if (error) {
                          Drop(pConn, error.message());
                          return;
                        }
                        pConn->nQueued -= pConn->queue.front().size();
                        pConn->queue.pop_front();
                        Write(pConn);
                      });
  });
}

void cStreamTransport::Close(uint32_t nConn) {
  if (!m_pImpl) return;
  asio::post(m_pImpl->context, [this, nConn] {
    auto found = m_pImpl->conns.find(nConn);
    if (found == m_pImpl->conns.end()) return;
    const std::shared_ptr<sConn> pConn = found->second;
    m_pImpl->conns.erase(found);
    pConn->bGone = true;
    if (pConn->connectTimer) pConn->connectTimer->cancel();
    asio::error_code ignored;
    pConn->Socket().close(ignored);
  });
}

void cStreamTransport::Fail(uint32_t nConn, const std::string& reason) {
  if (!m_pImpl) return;
  asio::post(m_pImpl->context, [this, nConn, reason] {
    auto found = m_pImpl->conns.find(nConn);
    if (found == m_pImpl->conns.end()) return;
    // A copy: Drop takes it out of the map.
    const std::shared_ptr<sConn> pConn = found->second;
    Drop(pConn, reason);
  });
}

void cStreamTransport::Drop(const std::shared_ptr<sConn>& pConn, const std::string& reason) {
  if (pConn->bGone) return;
  pConn->bGone = true;
  if (pConn->connectTimer) pConn->connectTimer->cancel();
  asio::error_code ignored;
  pConn->Socket().close(ignored);
  m_pImpl->conns.erase(pConn->nId);
  PostState(pConn->nId, false, reason);
}

void cStreamTransport::PostState(uint32_t nConn, bool bUp, const std::string& reason) {
  m_pLoop->Post([pAlive = m_pAlive, pFn = m_pState, nConn, bUp, reason] {
    if (pAlive->load()) (*pFn)(nConn, bUp, reason);
  });
}

void cStreamTransport::Stop() {
  if (!m_pImpl) return;
  m_pAlive->store(false);
  m_pImpl->work.reset();
  m_pImpl->context.stop();
  if (m_Thread.joinable()) m_Thread.join();
  // The thread is gone: what it owned closes here.
  m_pImpl.reset();
}
