// TCP exchanges (IPv4 and IPv6), one connection per request, with every wait bounded.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <string>
#include <vector>

struct ssl_st;  // an OpenSSL session

namespace quillrun {

// Why an exchange stopped short.
enum class NetFailure {
    None,
    Resolve,
    Socket,
    Connect,
    ConnectTimeout,
    Send,
    SendTimeout,
    ReceiveTimeout,
    RowTimeout,      // the whole exchange took longer than its limit (a server that drips)
    TlsHandshake,    // no TLS session came about (protocol, time-out, closed)
    TlsCertificate,  // the server's certificate is not trusted or not for that name
};

struct NetTimeouts {
    int connectMilliseconds = 10000;
    // The longest a send or a receive may go without moving a byte.
    int idleMilliseconds = 30000;
    // The longest a request's exchange may take from its first byte written to the answer's end.
    int wholeMilliseconds = 120000;
};

// The addresses of a name (or a literal IPv4 or IPv6 address), of any family, in the order the
// system gives them, through a short-lived process-wide cache: addresses found shortly before
// (by PrefetchHostAddress or an earlier row) are used again without asking the resolver, so a
// due request does not wait for it.
bool ResolveHostAddresses(const std::string& host, std::vector<sockaddr_storage>& addresses);
// Resolves now and keeps the addresses for the next two minutes.
void PrefetchHostAddress(const std::string& host);
// Forgets every kept address.
void ClearHostAddressCache();

class TcpConnection {
  public:
    TcpConnection() = default;
    ~TcpConnection();
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    // Resolves the host and connects to its addresses in turn until one answers, all within
    // the connect timeout. False when the name does not resolve or no address connects.
    bool Connect(const std::string& host, std::uint16_t port, const NetTimeouts& timeouts = {});
    // Starts TLS on the connection: TLS 1.2 or newer, the name sent to the server (SNI), and its
    // certificate verified against the system's store (SSL_CERT_FILE and SSL_CERT_DIR as for
    // every OpenSSL program) and against the name. Verification cannot be turned off. False
    // with TlsHandshake or TlsCertificate and the reason in failureDetail() when it fails.
    bool StartTls(const std::string& serverName);
    const std::string& failureDetail() const { return detail_; }
    // Starts the whole exchange's limit; sends and receives after this end at it.
    void StartExchangeClock();
    // Sends all of data, also what a first send call did not take.
    bool SendAll(const std::string& data);
    // Receives until the peer closes, an error, `limit` bytes are held, or nothing came for
    // the idle timeout.
    std::string ReceiveUpTo(std::size_t limit);
    void Close();
    // False when there is no connection or the server has closed or reset it (a connection
    // opened ahead of its request may have been dropped meanwhile).
    bool StillOpen() const;
    NetFailure failure() const { return failure_; }

  private:
    // How long the next wait may be: the idle limit, or less when the exchange's end is nearer.
    int NextWait() const;
    bool PastDeadline() const;
    // The failure of a wait that ran out: the exchange's limit, or the idle one given.
    NetFailure TimedOut(NetFailure idle) const {
        return PastDeadline() ? NetFailure::RowTimeout : idle;
    }

    int fd_ = -1;
    long long deadlineNs_ = -1;  // steady clock; -1: no exchange limit yet
    ssl_st* ssl_ = nullptr;
    NetTimeouts timeouts_;
    NetFailure failure_ = NetFailure::None;
    std::string detail_;
};

}  // namespace quillrun
