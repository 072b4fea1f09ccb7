// Schedule store speed, each beside its peer in the same run:
//  - opening a 3,000-station lastsch.sch and listing it (also walking the list,
//    and listing it into strings of their own), beside a plain read of the
//    header and the index bytes;
//  - building from 3,000 station files of about 20 KB, beside `cat` of the
//    same files into one file.
// Run: build/bench/bin/schedule_bench --benchmark_repetitions=5
//          --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

#include "SampleSchedule.h"
#include "schedule/U_MainFunBuild.h"
#include "schedule/U_TvSchedule.h"

namespace {

struct Fixture {
    std::string dir, stations, schedule;
    Fixture() {
        char tmpl[] = "/tmp/vimbrel-bench-XXXXXX";
        dir = std::string(mkdtemp(tmpl)) + "/";
        stations = dir + "st/";
        schedule = dir + "lastsch.sch";
        std::filesystem::create_directory(stations);
        TSampleOptions options;
        options.stations = 3000;
        options.programmesPerDay = 120; // about 20 KB a station
        WriteSampleStations(stations, options);
        BuildScheduleFile(stations, "*.*", schedule, 0);
    }
    ~Fixture() { std::filesystem::remove_all(dir); }
};

Fixture& Data() {
    static Fixture f;
    return f;
}

// What the main window and `vimbrel-cli list` do: open the file and list its
// stations, every name and offset found (the list must be ReadStationIndex's).
void OpenAndList(benchmark::State& state) {
    const std::string& path = Data().schedule;
    for (auto _ : state) {
        TScheduleObject file(path, TScheduleObject::fmOpen);
        const TStationList stations = ListStations(file);
        benchmark::DoNotOptimize(&stations);
        if (stations.size() != 3000) state.SkipWithError("wrong station count");
    }
    TScheduleObject file(path, TScheduleObject::fmOpen);
    const std::vector<TStationEntry> entries = ReadStationIndex(file);
    const TStationList stations = ListStations(file);
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (stations[i].Name != entries[i].Name || stations[i].Offset != entries[i].Offset)
            state.SkipWithError("the list differs from ReadStationIndex");
}
BENCHMARK(OpenAndList)->Unit(benchmark::kMicrosecond);

// The same, then a walk over every station's name and offset, as a caller
// that prints or shows them makes.
void OpenListAndWalk(benchmark::State& state) {
    const std::string& path = Data().schedule;
    for (auto _ : state) {
        TScheduleObject file(path, TScheduleObject::fmOpen);
        std::size_t sum = 0;
        for (const TStationList::TStation s : ListStations(file))
            sum += s.Name.size() + std::size_t(s.Offset);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(OpenListAndWalk)->Unit(benchmark::kMicrosecond);

// The same with every name copied into a string of its own, as the callers
// that keep the list get it.
void OpenAndListEntries(benchmark::State& state) {
    const std::string& path = Data().schedule;
    for (auto _ : state) {
        TScheduleObject file(path, TScheduleObject::fmOpen);
        auto stations = ReadStationIndex(file);
        benchmark::DoNotOptimize(stations.data());
        if (stations.size() != 3000) state.SkipWithError("wrong station count");
    }
}
BENCHMARK(OpenAndListEntries)->Unit(benchmark::kMicrosecond);

// The least any reader must do: read the header, then the index block.
void PlainIndexRead(benchmark::State& state) {
    const std::string& path = Data().schedule;
    std::string index;
    for (auto _ : state) {
        int fd = open(path.c_str(), O_RDONLY);
        std::int32_t indexOffset = 0;
        if (pread(fd, &indexOffset, 4, 0) != 4) state.SkipWithError("read failed");
        off_t end = lseek(fd, 0, SEEK_END);
        index.resize(std::size_t(end - indexOffset));
        if (pread(fd, index.data(), index.size(), indexOffset) != ssize_t(index.size()))
            state.SkipWithError("read failed");
        close(fd);
        benchmark::DoNotOptimize(index.data());
    }
}
BENCHMARK(PlainIndexRead)->Unit(benchmark::kMicrosecond);

void BuildFromStationFiles(benchmark::State& state) {
    const Fixture& f = Data();
    for (auto _ : state)
        BuildScheduleFile(f.stations, "*.*", f.dir + "built.sch", 0);
    state.SetBytesProcessed(std::int64_t(state.iterations()) *
                            std::int64_t(std::filesystem::file_size(f.schedule)));
}
BENCHMARK(BuildFromStationFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

void CatStationFiles(benchmark::State& state) {
    const Fixture& f = Data();
    // xargs keeps the argument list within limits and adds little.
    const std::string command = "cd '" + f.stations +
                                "' && find . -name '*.txt' -print0 | xargs -0 cat > '" + f.dir +
                                "cat.out'";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("cat failed");
    state.SetBytesProcessed(std::int64_t(state.iterations()) *
                            std::int64_t(std::filesystem::file_size(f.schedule)));
}
BENCHMARK(CatStationFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
