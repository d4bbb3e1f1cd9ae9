#include "tests/support/loopback_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>

namespace quillrun::test {
namespace {

bool WaitReadable(int fd, int milliseconds) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, milliseconds) > 0;
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

void SendAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

std::string ReceivedRequest::Header(const std::string& lowerName) const {
    auto it = headers.find(lowerName);
    return it == headers.end() ? std::string() : it->second;
}

Reply Reply::Ok(const std::string& body, const std::string& contentType,
                const std::string& extraHeaders) {
    Reply r;
    r.raw = "HTTP/1.0 200 OK\r\nContent-Type: " + contentType +
            "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + extraHeaders +
            "Connection: close\r\n\r\n" + body;
    return r;
}

TestCertificate TestCertificate::Make(const std::string& commonName) {
    EVP_PKEY* key = EVP_RSA_gen(2048);
    X509* cert = X509_new();
    X509_set_version(cert, 2);  // version 3: the extensions need it
    ASN1_INTEGER_set(X509_get_serialNumber(cert), static_cast<long>(std::rand()) + 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 24 * 3600);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1,
                               0);
    X509_set_issuer_name(cert, name);
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    for (const char* ext : {"subjectAltName", "basicConstraints"}) {
        const char* value = std::strcmp(ext, "subjectAltName") == 0 ? "IP:127.0.0.1,DNS:localhost"
                                                                    : "critical,CA:TRUE";
        X509_EXTENSION* e = X509V3_EXT_conf(nullptr, &ctx, ext, value);
        X509_add_ext(cert, e, -1);
        X509_EXTENSION_free(e);
    }
    X509_sign(cert, key, EVP_sha256());
    auto pem = [](auto write) {
        BIO* bio = BIO_new(BIO_s_mem());
        write(bio);
        char* data = nullptr;
        long length = BIO_get_mem_data(bio, &data);
        std::string text(data, static_cast<std::size_t>(length));
        BIO_free(bio);
        return text;
    };
    TestCertificate made;
    made.certificatePem = pem([&](BIO* b) { PEM_write_bio_X509(b, cert); });
    made.keyPem = pem(
        [&](BIO* b) { PEM_write_bio_PrivateKey(b, key, nullptr, nullptr, 0, nullptr, nullptr); });
    X509_free(cert);
    EVP_PKEY_free(key);
    return made;
}

LoopbackHttpServer::LoopbackHttpServer(Handler handler, const TestCertificate& tls)
    : handler_(std::move(handler)) {
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    BIO* certBio =
        BIO_new_mem_buf(tls.certificatePem.data(), static_cast<int>(tls.certificatePem.size()));
    BIO* keyBio = BIO_new_mem_buf(tls.keyPem.data(), static_cast<int>(tls.keyPem.size()));
    X509* cert = PEM_read_bio_X509(certBio, nullptr, nullptr, nullptr);
    EVP_PKEY* key = PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, nullptr);
    SSL_CTX_use_certificate(context, cert);
    SSL_CTX_use_PrivateKey(context, key);
    X509_free(cert);
    EVP_PKEY_free(key);
    BIO_free(certBio);
    BIO_free(keyBio);
    tlsContext_ = context;
    Start();
}

LoopbackHttpServer::LoopbackHttpServer(Handler handler) : handler_(std::move(handler)) {
    Start();
}

void LoopbackHttpServer::Start() {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0)
        throw std::runtime_error("socket");
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    sockaddr_in address;
    std::memset(&address, 0, sizeof(address));
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listenFd_, 64) != 0) {
        throw std::runtime_error("bind/listen");
    }
    socklen_t length = sizeof(address);
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    acceptThread_ = std::thread([this] { AcceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    stopping_ = true;
    ::shutdown(listenFd_, SHUT_RDWR);
    acceptThread_.join();
    ::close(listenFd_);
    std::vector<std::thread> workers;
    {
        std::lock_guard<std::mutex> lock(lock_);
        workers.swap(workers_);
    }
    for (auto& w : workers)
        w.join();
    if (tlsContext_ != nullptr)
        SSL_CTX_free(static_cast<SSL_CTX*>(tlsContext_));
}

std::string LoopbackHttpServer::Url(const std::string& path) const {
    return std::string(tlsContext_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) +
           path;
}

void LoopbackHttpServer::SetHandler(Handler handler) {
    std::lock_guard<std::mutex> lock(lock_);
    handler_ = std::move(handler);
}

std::vector<ReceivedRequest> LoopbackHttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(lock_);
    return requests_;
}

std::size_t LoopbackHttpServer::RequestCount() const {
    std::lock_guard<std::mutex> lock(lock_);
    return requests_.size();
}

bool LoopbackHttpServer::WaitForRequests(std::size_t count, int timeoutMilliseconds) const {
    std::unique_lock<std::mutex> lock(lock_);
    return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMilliseconds),
                             [&] { return requests_.size() >= count; });
}

void LoopbackHttpServer::ClearRequests() {
    std::lock_guard<std::mutex> lock(lock_);
    requests_.clear();
}

namespace {
long long WallMicroseconds() {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}
}  // namespace

int ListenOnLoopback(std::uint16_t& port, bool ipv6) {
    int fd = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_storage address{};
    socklen_t length = ipv6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
    if (ipv6) {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
        v6->sin6_family = AF_INET6;
        v6->sin6_addr = in6addr_loopback;
    } else {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
        v4->sin_family = AF_INET;
        v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(fd, 16) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    port = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                      : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    return fd;
}

void LoopbackHttpServer::AcceptLoop() {
    while (!stopping_) {
        if (!WaitReadable(listenFd_, 100))
            continue;
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        long long accepted = WallMicroseconds();
        std::lock_guard<std::mutex> lock(lock_);
        workers_.emplace_back([this, fd, accepted] { Serve(fd, accepted); });
    }
}

void LoopbackHttpServer::Serve(int fd, long long acceptedMicroseconds) {
    ReceivedRequest request;
    request.acceptedMicroseconds = acceptedMicroseconds;
    std::string& raw = request.raw;
    char buffer[65536];
    SSL* ssl = nullptr;
    if (tlsContext_ != nullptr) {
        ssl = SSL_new(static_cast<SSL_CTX*>(tlsContext_));
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) != 1) {  // a client that refused the certificate
            SSL_free(ssl);
            ::close(fd);
            return;
        }
    }
    // Over TLS, bytes may already wait inside the session.
    auto readable = [&](int ms) { return (ssl && SSL_pending(ssl) > 0) || WaitReadable(fd, ms); };
    auto receive = [&]() -> ssize_t {
        return ssl ? SSL_read(ssl, buffer, sizeof(buffer)) : ::recv(fd, buffer, sizeof(buffer), 0);
    };
    std::size_t headerEnd = std::string::npos;
    std::size_t wanted = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    // Header block, then Content-Length bytes of body.
    while (!stopping_ && std::chrono::steady_clock::now() < deadline) {
        if (headerEnd != std::string::npos && raw.size() >= headerEnd + 4 + wanted)
            break;
        if (!readable(50))
            continue;
        ssize_t n = receive();
        if (n <= 0)
            break;
        if (raw.empty())
            request.firstByteMicroseconds = WallMicroseconds();
        raw.append(buffer, static_cast<std::size_t>(n));
        if (headerEnd == std::string::npos) {
            headerEnd = raw.find("\r\n\r\n");
            if (headerEnd != std::string::npos) {
                std::size_t lineEnd = raw.find("\r\n");
                std::string first = raw.substr(0, lineEnd);
                std::size_t s1 = first.find(' ');
                std::size_t s2 = first.find(' ', s1 + 1);
                request.method = first.substr(0, s1);
                request.target = first.substr(s1 + 1, s2 - s1 - 1);
                std::size_t pos = lineEnd + 2;
                while (pos < headerEnd) {
                    std::size_t end = raw.find("\r\n", pos);
                    std::string line = raw.substr(pos, end - pos);
                    std::size_t colon = line.find(':');
                    if (colon != std::string::npos) {
                        std::string value = line.substr(colon + 1);
                        while (!value.empty() && value.front() == ' ')
                            value.erase(0, 1);
                        request.headers[Lower(line.substr(0, colon))] = value;
                    }
                    pos = end + 2;
                }
                std::string length = request.Header("content-length");
                wanted = length.empty() ? 0 : std::stoul(length);
            }
        }
    }
    // Whatever follows right behind (the CR LF after a POST body).
    while (readable(30)) {
        ssize_t n = receive();
        if (n <= 0)
            break;
        if (raw.empty())
            request.firstByteMicroseconds = WallMicroseconds();
        raw.append(buffer, static_cast<std::size_t>(n));
    }
    if (headerEnd != std::string::npos)
        request.body = raw.substr(headerEnd + 4, wanted);

    Handler handler;
    {
        std::lock_guard<std::mutex> lock(lock_);
        handler = handler_;
    }
    Reply reply = handler ? handler(request) : Reply::Ok("<html><body>ok</body></html>");
    {
        std::lock_guard<std::mutex> lock(lock_);
        requests_.push_back(request);
    }
    arrived_.notify_all();
    if (reply.delayMilliseconds > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(reply.delayMilliseconds));
    }
    if (!reply.closeWithoutAnswer) {
        if (ssl)
            SSL_write(ssl, reply.raw.data(), static_cast<int>(reply.raw.size()));
        else
            SendAll(fd, reply.raw);
    }
    if (reply.resetConnection) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the answer goes first
        linger hard{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof(hard));
        if (ssl)
            SSL_free(ssl);
        ::close(fd);
        return;
    }
    if (ssl) {
        SSL_shutdown(ssl);
        SSL_free(ssl);
    }
    ::shutdown(fd, SHUT_WR);
    while (WaitReadable(fd, 50)) {  // let the peer read before the close
        if (::recv(fd, buffer, sizeof(buffer), 0) <= 0)
            break;
    }
    ::close(fd);
}

}  // namespace quillrun::test
