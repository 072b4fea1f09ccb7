// A 5 MB download over loopback: TTvHttpGet (waiting, with and without an
// OnProgress handler) beside the curl command line tool fetching the same URL
// through the same server. The difference between the two TTvHttpGet runs,
// divided by the number of 1025-byte chunks, is the cost of one progress
// hand-off to the GUI thread. Runs on a plain QCoreApplication.
#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <spawn.h>
#include <sys/wait.h>

#include "../tests/http/TestHttpServer.h"
#include "http/U_HttpGet.h"

extern char** environ;

namespace {

constexpr std::size_t BodySize = 5 * 1024 * 1024;
constexpr double Chunks = double((BodySize + 1024) / 1025);
const char* const Url = "somehost/download/showtime.zip";

struct Setup {
    TestHttpServer server;
    std::string folder;
    Setup() {
        std::string body(BodySize, '\0');
        std::mt19937 gen(1);
        for (char& c : body)
            c = char(gen());
        TestReply reply;
        reply.body = std::move(body);
        server.SetReply(reply);
        folder = (std::filesystem::temp_directory_path() / "vimbrel-http-bench").string();
        std::filesystem::create_directories(folder);
    }
    ~Setup() { std::filesystem::remove_all(folder); }
};
Setup* setup = nullptr;
std::map<std::string, double> secondsPerDownload;

void Record(benchmark::State& state, const std::string& name, double seconds) {
    state.SetBytesProcessed(std::int64_t(state.iterations() * BodySize));
    // The best run of each kind: the machine's other load only adds time.
    const double perDownload = seconds / double(state.iterations());
    auto [it, fresh] = secondsPerDownload.emplace(name, perDownload);
    if (!fresh) it->second = std::min(it->second, perDownload);
}

void BM_TvHttpGet(benchmark::State& state) {
    const bool withProgress = state.range(0) != 0;
    TTvHttpGet http;
    http.URL = Url;
    http.UseProxy = true;
    http.ProxyServer = setup->server.Address();
    http.FileName = setup->folder + "/tvhttpget.zip";
    http.BinaryData = true;
    http.WaitThread = true;
    std::int64_t handOffs = 0;
    if (withProgress) http.OnProgress = [&](QObject*, std::int32_t, std::int32_t) { ++handOffs; };
    bool ok = false;
    http.OnDoneFile = [&](QObject*, const std::string&, std::int32_t) { ok = true; };
    double seconds = 0;
    for (auto _ : state) {
        ok = false;
        const auto start = std::chrono::steady_clock::now();
        http.StartDownload();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!ok) state.SkipWithError("download failed");
    }
    state.counters["hand-offs"] =
        benchmark::Counter(double(handOffs), benchmark::Counter::kAvgIterations);
    Record(state, withProgress ? "progress" : "plain", seconds);
}
BENCHMARK(BM_TvHttpGet)
    ->ArgName("OnProgress")
    ->Arg(1)
    ->Arg(0)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The peer: `curl -s -o FILE --proxy 127.0.0.1:PORT http://somehost/...`,
// process start included, as a user would run it.
void BM_CurlCommandLine(benchmark::State& state) {
    const std::string file = setup->folder + "/curl.zip";
    const std::string proxy = setup->server.Address();
    const std::string url = std::string("http://") + Url;
    std::vector<std::string> args = {"curl", "-s", "-o", file, "--proxy", proxy, url};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = 0;
        int status = 0;
        if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0 ||
            waitpid(pid, &status, 0) != pid || status != 0)
            state.SkipWithError("curl failed");
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    if (std::filesystem::file_size(file) != BodySize) state.SkipWithError("curl: wrong size");
    Record(state, "curl", seconds);
}
BENCHMARK(BM_CurlCommandLine)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Setup s;
    setup = &s;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (secondsPerDownload.count("progress") && secondsPerDownload.count("plain"))
        std::printf("OnProgress hand-off (best runs): %.2f us per 1025-byte chunk (%.0f chunks)\n",
                    (secondsPerDownload["progress"] - secondsPerDownload["plain"]) / Chunks * 1e6,
                    Chunks);
    return 0;
}
