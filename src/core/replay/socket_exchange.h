// One request exchange of the socket sender: the connection (opened ahead for a run's first
// request, or now), the whole request written, the answer received up to its limit.
#pragma once

#include <functional>
#include <string>

#include "core/platform/clock.h"
#include "core/platform/tcp_client.h"
#include "core/web/url_endpoint.h"

namespace quillrun {

// What one request exchange gave: whether it got as far as receiving, and the bytes received.
struct Exchange {
    bool received = false;
    std::string response;
    NetFailure failure = NetFailure::None;
    std::string detail;  // why a TLS session did not come about
};
// Told, right after the request was written, when its first byte was.
using SentHook = std::function<void(const LocalTime& firstByte)>;
// The target's port is the one connected to.
using ExchangeFunction =
    std::function<Exchange(const Endpoint& target, const std::string& text, const SentHook& sent)>;

// The exchange over TCP (and TLS for https rows): connect (or take the connection this thread
// opened ahead for the target), send the whole request, receive at most 10240 bytes (the whole
// answer, up to 4 MiB, when this thread reads whole answers).
Exchange TcpExchange(const Endpoint& target, const std::string& text, const SentHook& sent);

// Opens this thread's connection to the target now (TCP, and TLS for https), for the next
// TcpExchange to the same target to use; a failure is left for that exchange to meet.
void ConnectAhead(const Endpoint& target);
// Opens that connection again, with a message-list line, when the server has closed it since.
void KeepAheadConnectionOpen();
// Has this thread's next TcpExchange written by the moment writer at the moment (its
// connection opened or taken first, its answer read by this thread after).
void WriteNextExchangeAt(const LocalTime& moment);
// Drops this thread's connection opened ahead that its run never came to use.
void ForgetAheadConnection();

// Whether this thread's exchanges read whole answers (a later row takes its hidden fields from
// them); the response file keeps the first 10240 bytes as ever.
void ReceiveWholeAnswers(bool whole);

// The message-list line of an exchange that ran out of time or found no TLS session; empty for
// other outcomes.
std::string ExchangeFailureMessage(const Exchange& exchange, const NetTimeouts& limits,
                                   const std::string& address);

}  // namespace quillrun
