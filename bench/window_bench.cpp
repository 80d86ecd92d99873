// The Qt window showing a block whose line has no blank, of 1 MB and 10 MB,
// from the call to its laid-out and painted box: a line the box laid out
// word by word took minutes; what the window shows of it takes about as
// long as a record does.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <string>

#include "frm_main.qt.h"

namespace {

void BM_ShowBlockWithOneLongLine(benchmark::State& state) {
    frmMain window;
    window.show();
    const std::u16string block = std::u16string(static_cast<std::size_t>(state.range(0)), u'x') + u"\r\n";
    for (auto _ : state) {
        window.SetResultText(block);
        window.repaint();
        QApplication::processEvents();
    }
}

}  // namespace

BENCHMARK(BM_ShowBlockWithOneLongLine)->Arg(80)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
