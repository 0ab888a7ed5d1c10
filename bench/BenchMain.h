#pragma once
// The main of a benchmark of windows: offscreen unless QT_QPA_PLATFORM says
// otherwise, with an application object for the widgets.
#include <QApplication>
#include <benchmark/benchmark.h>

namespace qmbench {

inline int runWidgetBenchmarks(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace qmbench
