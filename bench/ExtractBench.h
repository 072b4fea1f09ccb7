// Pieces the extraction benchmarks share: station text in GBK, a scratch
// folder on the file system VIMBREL_BENCH_DIR names (default /tmp), a fresh
// target folder per iteration, a peer process run, and the "min" statistic.
#pragma once

#include <benchmark/benchmark.h>

#include <QString>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/CodePage.h"

extern char** environ;

namespace bench {

// A week of programme lines, deterministic, in GBK, of about `bytes` bytes.
inline std::string StationText(int station, std::size_t bytes = 20000) {
    static const std::vector<std::string> titles = [] {
        std::vector<std::string> t;
        for (const char* s : {"新闻联播", "天气预报", "焦点访谈", "今日说法", "电视剧：大宅门",
                              "动物世界", "体育新闻", "晚间新闻", "综艺快报", "纪录片：长江"})
            t.push_back(platform::QStringToGbk(QString::fromUtf8(s)));
        return t;
    }();
    static const std::string weekday = platform::QStringToGbk(QString::fromUtf8("星期"));
    std::string text;
    unsigned seed = unsigned(station) * 2654435761u;
    for (int day = 0; text.size() < bytes; ++day) {
        char date[64];
        std::snprintf(date, sizeof date, "25/01/%02d ", 13 + day % 7);
        text += date + weekday + std::to_string(day % 7 + 1) + "\r\n";
        for (int slot = 0; slot < 40 && text.size() < bytes; ++slot) {
            seed = seed * 1103515245u + 12345u;
            char time[16];
            std::snprintf(time, sizeof time, "%02d:%02d ", 6 + slot / 3, (slot % 3) * 20);
            text += time + titles[(seed >> 16) % titles.size()] + "\r\n";
        }
    }
    return text;
}

// A new scratch folder, with a trailing "/", on the file system under test.
inline std::string ScratchFolder(const std::string& prefix) {
    const char* base = std::getenv("VIMBREL_BENCH_DIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/" + prefix + "-XXXXXX";
    if (!mkdtemp(tmpl.data())) std::abort();
    return tmpl + "/";
}

// A fresh, empty target folder below root per iteration, made outside the
// timing. The disk is synced first so that one run's write-back does not slow
// the next. removePrevious drops the last iteration's output first: right for
// a few big files, wrong for thousands of small ones on ext4, where creating
// files right after mass deletion spends its time looking for free inodes.
inline std::string FreshFolder(benchmark::State& state, const std::string& root,
                               bool removePrevious = false) {
    static int n = 0;
    state.PauseTiming();
    if (removePrevious && n > 0) std::filesystem::remove_all(root + "out" + std::to_string(n - 1));
    const std::string dir = root + "out" + std::to_string(n++) + "/";
    std::filesystem::create_directories(dir);
    sync();
    state.ResumeTiming();
    return dir;
}

// Runs a command with its output thrown away; aborts unless it succeeds.
inline void Run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) std::abort();
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
}

// A peer's command line extracting into dir: 7-Zip glues "-o" to the folder,
// the others take the folder as the next argument.
inline std::vector<std::string> IntoFolder(std::vector<std::string> command,
                                           const std::string& flag, const std::string& dir) {
    if (flag == "-o") {
        command.push_back("-o" + dir);
    } else {
        command.push_back(flag);
        command.push_back(dir);
    }
    return command;
}

// A shared disk is noisy: the best run shows each tool's own cost.
inline double Fastest(const std::vector<double>& v) {
    return *std::min_element(v.begin(), v.end());
}

} // namespace bench
