#include "core/replay/socket_exchange.h"

#include <cstdio>
#include <memory>

#include "core/platform/cp932.h"
#include "core/platform/message_sink.h"
#include "core/replay/moment_writer.h"
#include "core/replay/socket_options.h"

namespace quillrun {
namespace {

// The connection a thread opened ahead of its first request, and where it leads.
struct AheadConnection {
    std::unique_ptr<TcpConnection> connection;
    Endpoint target;
    bool opened = false;
};
thread_local AheadConnection t_ahead;
// How much of an answer this thread reads: the whole page (up to 4 MiB) when a later row takes
// its hidden fields from it; the response file keeps the first 10240 bytes as ever.
constexpr std::size_t kWholeAnswerLimit = 4 * 1024 * 1024;
thread_local std::size_t t_receiveLimit = kReceiveLimit;
// The moment the next exchange is written at by the moment writer; unset: written at once.
thread_local bool t_writeAtMoment = false;
thread_local LocalTime t_writeMoment;

bool SameTarget(const Endpoint& a, const Endpoint& b) {
    return a.host == b.host && a.port == b.port && a.tls == b.tls;
}

bool Open(TcpConnection& connection, const Endpoint& target) {
    return connection.Connect(target.host, target.port, SocketTimeouts()) &&
           (!target.tls || connection.StartTls(target.host));
}

std::string AddressText(const Endpoint& target) {
    return (target.tls ? "https://" : "http://") + target.host + ":" + std::to_string(target.port);
}

// The connection opened ahead for the target, when there is one that still stands.
std::unique_ptr<TcpConnection> TakeAheadConnection(const Endpoint& target) {
    if (!t_ahead.connection || !SameTarget(t_ahead.target, target))
        return nullptr;
    KeepAheadConnectionOpen();
    std::unique_ptr<TcpConnection> taken = std::move(t_ahead.connection);
    bool usable = t_ahead.opened;
    t_ahead = AheadConnection();
    return usable ? std::move(taken) : nullptr;
}

}  // namespace

// The message-list line of a row whose exchange ran out of time or found no TLS session;
// empty for other outcomes.
std::string ExchangeFailureMessage(const Exchange& exchange, const NetTimeouts& limits,
                                   const std::string& address) {
    auto seconds = [](int ms) {
        char text[32];
        std::snprintf(text, sizeof(text), "%d.%03d", ms / 1000, ms % 1000);
        return std::string(text);
    };
    switch (exchange.failure) {
        case NetFailure::ConnectTimeout:
            return J("接続がタイムアウトしました（") + seconds(limits.connectMilliseconds) +
                   J(" 秒）: ") + address;
        case NetFailure::SendTimeout:
            return J("送信がタイムアウトしました（") + seconds(limits.idleMilliseconds) +
                   J(" 秒）: ") + address;
        case NetFailure::TlsHandshake:
        case NetFailure::TlsCertificate:
            return J("TLS の接続に失敗しました（") + exchange.detail + J("）: ") + address;
        case NetFailure::Socket:
            return J("ソケットを作れません（開けるファイルの数の上限かもしれません）: ") + address;
        case NetFailure::RowTimeout:
            return J("応答が時間内に終わりませんでした（") + seconds(limits.wholeMilliseconds) +
                   J(" 秒、受信 ") + std::to_string(exchange.response.size()) + J(" バイト）: ") +
                   address;
        case NetFailure::ReceiveTimeout:
            return J("応答がタイムアウトしました（") + seconds(limits.idleMilliseconds) +
                   J(" 秒、受信 ") + std::to_string(exchange.response.size()) + J(" バイト）: ") +
                   address;
        default:
            return std::string();
    }
}

void ReceiveWholeAnswers(bool whole) {
    t_receiveLimit = whole ? kWholeAnswerLimit : kReceiveLimit;
}

void ForgetAheadConnection() {
    t_ahead = AheadConnection();
    t_writeAtMoment = false;
}

void WriteNextExchangeAt(const LocalTime& moment) {
    t_writeAtMoment = true;
    t_writeMoment = moment;
}

void ConnectAhead(const Endpoint& target) {
    t_ahead.connection = std::make_unique<TcpConnection>();
    t_ahead.target = target;
    t_ahead.opened = Open(*t_ahead.connection, target);
}

void KeepAheadConnectionOpen() {
    if (!t_ahead.connection || !t_ahead.opened || t_ahead.connection->StillOpen())
        return;
    AddMessage(J("先に開いた接続をサーバーが閉じたため、開き直しました: ") +
               AddressText(t_ahead.target));
    t_ahead.opened = Open(*t_ahead.connection, t_ahead.target);
}

Exchange TcpExchange(const Endpoint& target, const std::string& text, const SentHook& sent) {
    Exchange result;
    std::unique_ptr<TcpConnection> connection = TakeAheadConnection(target);
    if (!connection) {
        connection = std::make_unique<TcpConnection>();
        if (!Open(*connection, target)) {
            t_writeAtMoment = false;  // nothing to write: the run says why
            result.failure = connection->failure();
            result.detail = connection->failureDetail();
            return result;
        }
    }
    LocalTime firstByte;
    bool wrote = false;
    if (t_writeAtMoment) {
        t_writeAtMoment = false;
        MomentWrite write = WriteAtMoment(t_writeMoment, *connection, text);
        firstByte = write.firstByte;
        wrote = write.wrote;
    } else {
        firstByte = CurrentClock().Now();
        connection->StartExchangeClock();
        wrote = connection->SendAll(text);
    }
    if (sent)
        sent(firstByte);
    if (!wrote) {
        result.failure = connection->failure();
        result.detail = connection->failureDetail();
        return result;
    }
    // A receive that ran out of time counts as received, with the bytes held, as an error
    // while receiving does.
    result.response = connection->ReceiveUpTo(t_receiveLimit);
    result.received = true;
    result.failure = connection->failure();
    return result;
}

}  // namespace quillrun
