// A 100 x 100 surface rendered into a 400 x 400 cube image: from a cold mesh
// (values changed), after a rotation only, and on the simplified and the
// fast-draw paths; and the 31 x 31 grid a scan makes at the default precision.
// 50 ms is where the program starts lowering quality; a full-quality render
// of the 100 x 100 grid should take under 30 ms. A slider press, drag or zoom
// asks for the simplified grid, so its cold build is what a drag waits for:
// under 20 ms, and in proportion to the grid on larger ones.
#include "MinMaxMultiDimData.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

enum class Path { Full, Simplified, FastDraw };

void makeSurface(MinMaxMultiDimData &data, int side, Path path, bool points)
{
    data.setDimensions({Dimension{side, QStringLiteral("a"), 0, 1}, Dimension{side, QStringLiteral("b"), 0, 1}});
    QList<double> values;
    for (int b = 0; b < side; ++b)
        for (int a = 0; a < side; ++a)
            values << std::sin(a * 0.08) * std::cos(b * 0.06) + 0.3 * std::sin(a * b * 0.001);
    data.setValues(values);
    data.setDataComplete(true);
    DataExtractionSettings extraction = data.dataExtractionSettings();
    extraction.selection = {-1, -1};
    extraction.simplify = path == Path::Simplified;
    data.setDataExtractionSettings(extraction);
    DrawSettings3DCube cube = data.drawSettings3DCube();
    cube.imageSize = QSize(400, 400);
    cube.drawPoints = points;
    cube.fastDraw = path == Path::FastDraw;
    data.setDrawSettings3DCube(cube);
}

void render(MinMaxMultiDimData &data, QImage &target)
{
    QPainter painter(&target);
    data.paint(painter, target.rect());
}

void cube(benchmark::State &state)
{
    const bool cold = state.range(0) != 0;
    const auto path = Path(state.range(1));
    const bool points = state.range(2) != 0;
    const int side = int(state.range(3));
    MinMaxMultiDimData data;
    makeSurface(data, side, path, points);
    QImage target(400, 400, QImage::Format_RGB32);
    render(data, target);
    double turn = -30;
    for (auto _ : state) {
        if (cold) {
            data.markChanged(); // the values changed: the mesh is built again
        } else {
            PerspectiveSettings perspective = data.perspectiveSettings();
            perspective.turn = (turn += 3);
            data.setPerspectiveSettings(perspective);
        }
        render(data, target);
    }
    state.counters["faces"] = double(data.mesh().faces().size());
    state.counters["render ms"] = double(data.lastRenderTime());
}
BENCHMARK(cube)
    ->ArgNames({"cold", "path", "points", "side"})
    ->Args({1, int(Path::Full), 0, 100})
    ->Args({0, int(Path::Full), 0, 100})
    ->Args({0, int(Path::Full), 1, 100})
    ->Args({1, int(Path::Simplified), 0, 100})
    ->Args({0, int(Path::Simplified), 0, 100})
    ->Args({1, int(Path::Simplified), 0, 200})
    ->Args({0, int(Path::FastDraw), 1, 100})
    ->Args({1, int(Path::Full), 0, 31})
    ->Args({0, int(Path::Full), 1, 31})
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
