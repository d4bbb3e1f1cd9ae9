// The cost of one Socket task row over TLS against one plain row, both on loopback with the
// whole exchange (connect, handshake, request, response, response file, log line); the ratio is
// reported as a counter.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "core/config/activity_log.h"
#include "core/config/app_state.h"
#include "core/platform/files.h"
#include "core/platform/paths.h"
#include "core/replay/socket_sender.h"
#include "tests/support/loopback_http_server.h"

namespace {

double RowMilliseconds(const std::string& file) {
    auto start = std::chrono::steady_clock::now();
    quillrun::SocketReplayThread(file);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

void BM_TlsRowAgainstPlainRow(benchmark::State& state) {
    char pattern[] = "/tmp/quillrun-tlsbench-XXXXXX";
    std::string dir = std::string(mkdtemp(pattern)) + "/";
    for (const char* sub : {"event", "cookies", "response"})
        mkdir((dir + sub).c_str(), 0700);
    quillrun::SetProgramFolder(dir);
    std::int32_t trace = 0;
    quillrun::SetActivityLog(dir + "quillrun.log", &trace);
    quillrun::test::TestCertificate certificate = quillrun::test::TestCertificate::Make();
    quillrun::WriteWholeFile(dir + "trust.pem", certificate.certificatePem);
    ::setenv("SSL_CERT_FILE", (dir + "trust.pem").c_str(), 1);
    quillrun::test::LoopbackHttpServer plain;
    quillrun::test::LoopbackHttpServer tls(nullptr, certificate);
    quillrun::SocketSenderOptions options;
    options.pauseMilliseconds = 0;
    quillrun::SetSocketSenderOptions(options);
    quillrun::App().settings.CGITestMode = 1;  // no duplicate-post guard between runs
    quillrun::WriteWholeFile(dir + "event/plain.evf", "1\tURL\t" + plain.Url("/a") + "\t\t\r\n");
    quillrun::WriteWholeFile(dir + "event/tls.evf", "1\tURL\t" + tls.Url("/a") + "\t\t\r\n");
    double plainTotal = 0, tlsTotal = 0;
    for (auto _ : state) {
        plainTotal += RowMilliseconds(dir + "event/plain.evf");
        tlsTotal += RowMilliseconds(dir + "event/tls.evf");
    }
    double n = static_cast<double>(state.iterations());
    state.counters["plain_ms"] = plainTotal / n;
    state.counters["tls_ms"] = tlsTotal / n;
    state.counters["ratio"] = tlsTotal / plainTotal;
    quillrun::SetSocketSenderOptions({});
    quillrun::SetActivityLog("", nullptr);
    ::unsetenv("SSL_CERT_FILE");
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_TlsRowAgainstPlainRow)->Iterations(50)->Unit(benchmark::kMillisecond);

}  // namespace
