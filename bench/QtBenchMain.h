// The main of a benchmark that needs widgets: an offscreen QApplication with
// the Fusion style (as the GUI tests use) around Google Benchmark's runner.
#pragma once

#include <QApplication>
#include <benchmark/benchmark.h>

#define VIMBREL_QT_BENCHMARK_MAIN()                                                                \
    int main(int argc, char** argv) {                                                              \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                                        \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                               \
        QApplication app(argc, argv);                                                              \
        QApplication::setStyle("Fusion");                                                          \
        ::benchmark::Initialize(&argc, argv);                                                      \
        if (::benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;                        \
        ::benchmark::RunSpecifiedBenchmarks();                                                     \
        ::benchmark::Shutdown();                                                                   \
        return 0;                                                                                  \
    }
