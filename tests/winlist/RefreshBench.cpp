// What one refresh tick costs with 200 web windows on the simulated desktop: the
// tick as the timer runs it, the rebuild alone, and the desktop's own share (the same
// reads with no program around them), so the program's own time is the difference.
#include "app/Form1.h"
#include "app/Program.h"
#include "automation/Shell.h"
#include "automation/sim/SimDesktop.h"
#include "winlist/AutoMinimize.h"
#include "winlist/ListRebuild.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

namespace {

using automation::sim::SimDesktop;
using automation::sim::SimWindow;

constexpr int kWindows = 200;

// A work folder with a Favourites folder of 20 shortcuts, as the clean-up meets it.
std::filesystem::path makeWorkFolder()
{
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tabulon-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a work folder");
    std::filesystem::path folder = pattern;
    std::filesystem::create_directories(folder / "fav");
    for (int i = 0; i < 20; ++i) {
        std::ofstream(folder / "fav" / ("site" + std::to_string(i) + ".url"), std::ios::binary)
            << "[InternetShortcut]\r\nURL=http://site" << i << ".example/\r\n";
    }
    return folder;
}

struct Bench
{
    Bench()
        : folder(makeWorkFolder()), sim([this] {
              automation::sim::SimSetup setup;
              setup.folders = {{"Desktop", (folder / "fav").string()},
                               {"MyDocuments", folder.string()},
                               {"Favorites", (folder / "fav").string()}};
              return setup;
          }()),
          desktop(sim.control()), platform(sim.platform())
    {
        for (int i = 1; i <= kWindows; ++i) {
            SimWindow window;
            window.id = "w" + std::to_string(i);
            window.url = "http://www" + std::to_string(i) + ".example.com/Index.html";
            window.title = "Page " + std::to_string(i);
            window.document = std::make_shared<automation::sim::SimDocumentData>();
            window.document->frames.resize(static_cast<std::size_t>(i % 3));
            window.state =
                i % 5 == 0 ? automation::WindowState::Minimized : automation::WindowState::Normal;
            desktop.openWindow(std::move(window), false);
        }
    }

    ~Bench()
    {
        program.reset();
        std::error_code error;
        std::filesystem::remove_all(folder, error);
    }

    tabulon::Form1& startProgram()
    {
        program = std::make_unique<tabulon::Program>(platform,
                                                     tabulon::ProgramFiles{folder.string()}, [] {});
        std::string error;
        if (!program->start(error))
            throw std::runtime_error(error);
        QApplication::processEvents();
        return program->mainWindow();
    }

    std::filesystem::path folder;
    SimDesktop sim;
    automation::sim::SimControl& desktop;
    automation::Platform platform;
    std::unique_ptr<tabulon::Program> program;
};

// The tick as the timer runs it, AutoMinimize on and row 7 selected.
void BM_Tick(benchmark::State& state)
{
    Bench bench;
    tabulon::Form1& form = bench.startProgram();
    form.menuAutoMin_Click();
    form.selectRow(7);
    for (auto _ : state) {
        form.Timer1_Timer();
        bench.desktop.takeCalls();
    }
    state.counters["rows"] = form.webWindows().count();
}
BENCHMARK(BM_Tick)->Unit(benchmark::kMillisecond);

void BM_RefreshList(benchmark::State& state)
{
    Bench bench;
    tabulon::Form1& form = bench.startProgram();
    for (auto _ : state)
        form.RefreshList();
}
BENCHMARK(BM_RefreshList)->Unit(benchmark::kMillisecond);

// The rebuild and AutoMinimize with no window drawn.
void BM_RebuildRowsAndAutoMinimize(benchmark::State& state)
{
    Bench bench;
    tabulon::Module1 module(bench.platform, tabulon::ProgramFiles{bench.folder.string()});
    const auto windows = bench.platform.objects.createShell()->windows();
    tabulon::WebWindowList list;
    tabulon::rebuildRows(list, *windows, module);
    std::vector<std::string> seen = tabulon::seenHandles(list);
    for (auto _ : state) {
        tabulon::rebuildRows(list, *windows, module);
        tabulon::autoMinimize(list, seen, module);
    }
}
BENCHMARK(BM_RebuildRowsAndAutoMinimize)->Unit(benchmark::kMillisecond);

// The desktop's own share: enumerating the windows and answering every read a
// rebuild makes, with nothing of the program in between.
void BM_DesktopAnswersAlone(benchmark::State& state)
{
    Bench bench;
    const auto windows = bench.platform.objects.createShell()->windows();
    automation::WindowManager& manager = bench.platform.windows;
    for (auto _ : state) {
        for (const auto& w : windows->items()) {
            benchmark::DoNotOptimize(w->busy());
            benchmark::DoNotOptimize(w->LocationURL());
            benchmark::DoNotOptimize(w->LocationName());
            const automation::Hwnd h = w->hWnd();
            benchmark::DoNotOptimize(manager.IsZoomed(h));
            benchmark::DoNotOptimize(manager.IsIconic(h));
            benchmark::DoNotOptimize(w->Height());
            benchmark::DoNotOptimize(w->Width());
            benchmark::DoNotOptimize(w->Document()->FramesLength());
        }
    }
}
BENCHMARK(BM_DesktopAnswersAlone)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform's notes would only clutter the table.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
