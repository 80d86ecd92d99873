// The Qt window showing a block whose line has no blank, of 1 MB and 10 MB,
// from the call to its laid-out and painted box: a line the box laid out
// word by word took minutes; what the window shows of it takes about as
// long as a record does.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <string>

#include "qt_window/frm_main.qt.h"
#include "shared_folder/fixed_paths.h"

namespace {

void BM_ShowBlockWithOneLongLine(benchmark::State& state) {
    frmMain window(keil::FixedLookupPlace());
    window.show();
    std::vector<std::uint8_t> block(static_cast<std::size_t>(state.range(0)), 'x');
    block.insert(block.end(), {'\r', '\n'});
    for (auto _ : state) {
        window.ShowResultBlock(block);
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
