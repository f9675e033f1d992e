// Start-up to the first drawn frame: the real window is built (opening the
// command-line map where given), its first redraw tick runs, and it is destroyed.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "model/Checked.h"
#include "platform/Dialogs.h"
#include "ui/TKestApplication.h"
#include "ui/TRadioGroup.h"
#include "ui/TScrollBar.h"
#include "ui/TStartupRead.h"
#include "ui/Unit1.h"

namespace {

class TSilentMessages : public TMessageService {
public:
    TMsgResult Confirm(const std::string&, TMsgButtons) override { return TMsgResult::No; }
    void ShowError(const std::string& text) override { Errors.push_back(text); }
    std::vector<std::string> Errors;
};

class TNoColorDialog : public TColorDialog {
public:
    bool Execute() override { return false; }
    TColor Color() const override { return clBlack; }
    void SetColor(TColor) override {}
};

class TNoFileDialog : public TFileDialog {
public:
    bool Execute() override { return false; }
    std::string FileName() const override { return {}; }
};

TSilentMessages& Environment()
{
    static int argc = 1;
    static char name[] = "bench_startup";
    static char* argv[] = {name, nullptr};
    static TKestApplication app(argc, argv);
    // The windows' recovery copies go to a scratch folder, never the user's.
    static const struct TScratchDataHome {
        std::filesystem::path Path =
            std::filesystem::temp_directory_path() / ("kest-bench-" + std::to_string(QCoreApplication::applicationPid()));
        TScratchDataHome()
        {
            qputenv("XDG_DATA_HOME", QByteArray::fromStdString(Path.string()));
            qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((Path / "config").string()));
        }
        ~TScratchDataHome()
        {
            std::error_code ignored;
            std::filesystem::remove_all(Path, ignored);
        }
    } dataHome;
    static TSilentMessages messages;
    SetMessageService(&messages);
    return messages;
}

void Put16(std::string& bytes, std::int32_t v)
{
    bytes.push_back(static_cast<char>(v & 0xFF));
    bytes.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Put32(std::string& bytes, std::int32_t v)
{
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>((static_cast<std::uint32_t>(v) >> shift) & 0xFF));
}

/// A map file of borders and rails (half each) scattered over the whole world,
/// every rail long enough to survive loading.
std::string LargeMapFile(std::int32_t elements)
{
    const auto path = std::filesystem::temp_directory_path() / ("kest-startup-" + std::to_string(elements) + ".KS");
    std::string bytes;
    std::uint32_t seed = 12345;
    const auto next = [&seed](std::int32_t range) {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<std::int32_t>((seed >> 8) % static_cast<std::uint32_t>(range));
    };
    const std::int32_t borders = elements / 2;
    const std::int32_t rails = elements - borders;
    Put32(bytes, borders);
    for (std::int32_t i = 0; i < borders; ++i) {
        const std::int32_t x = next(9900), y = next(9900);
        for (const std::int32_t v : {x, y, x + next(100), y + next(100)}) Put16(bytes, v);
        bytes.append({static_cast<char>(next(256)), static_cast<char>(next(256)), static_cast<char>(next(256)),
                      static_cast<char>(next(4))});
    }
    Put32(bytes, rails);
    for (std::int32_t i = 0; i < rails; ++i) {
        const std::int32_t x = next(9800), y = next(9900);
        for (const std::int32_t v : {x, y, x + 20 + next(80), y + next(100)}) Put16(bytes, v);
    }
    Put32(bytes, 0);
    Put32(bytes, 1);
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

void FirstFrame(benchmark::State& state, const TCommandLine& commandLine, std::int32_t expectedElements)
{
    TSilentMessages& messages = Environment();
    TNoColorDialog color;
    TNoFileDialog picture;
    for (auto _ : state) {
        // As the program starts: the command line's map read beside the window's building.
        TStartupRead startupRead(commandLine.size() == 2 ? commandLine[1] : "");
        TForm1 form(color, picture, commandLine);
        startupRead.Drop();
        form.Timer1Timer();
        const TMap& map = form.CurrentMap();
        if (map.BorderCount() + map.RailCount() != expectedElements || !messages.Errors.empty()) {
            state.SkipWithError("the map did not load as generated");
            break;
        }
        benchmark::DoNotOptimize(form.PaintBox1->Picture().constBits());
    }
}

void BM_StartupEmptyMap(benchmark::State& state) { FirstFrame(state, {"kestedit"}, 0); }

void BM_StartupLargeMap(benchmark::State& state)
{
    static const std::string path = LargeMapFile(100000);
    FirstFrame(state, {"kestedit", path}, 100000);
}

/// Opening a map of range(0) elements from the command line to its first frame.
void BM_StartupMapOfSize(benchmark::State& state)
{
    const auto elements = static_cast<std::int32_t>(state.range(0));
    const std::string path = LargeMapFile(elements);
    FirstFrame(state, {"kestedit", path}, elements);
    std::filesystem::remove(path);
}

/// The first click after a large map opened and its first frame was drawn:
/// the select tool's press and release in the view and the tick that shows
/// what it selected. Opening and the first frame are not timed.
void BM_FirstClickAfterOpening(benchmark::State& state)
{
    const auto elements = static_cast<std::int32_t>(state.range(0));
    const std::string path = LargeMapFile(elements);
    Environment();
    TNoColorDialog color;
    TNoFileDialog picture;
    std::int32_t x = 300;
    for (auto _ : state) {
        state.PauseTiming();
        auto form = std::make_unique<TForm1>(color, picture, TCommandLine{"kestedit", path});
        form->Timer1Timer();
        form->RadioGroup1->SetItemIndex(5);
        x += 7; // another point at each opening
        state.ResumeTiming();
        form->PaintBox1MouseDown(TMouseButton::Left, x, 250);
        form->PaintBox1MouseUp(TMouseButton::Left, x, 250);
        form->Timer1Timer();
        state.PauseTiming();
        form.reset();
        state.ResumeTiming();
    }
    std::filesystem::remove(path);
}

/// "Вся карта" on a large map already open and drawn: the command and the
/// tick that shows the whole map. Opening and the first frame are not timed.
void BM_ZoomToFitAfterOpening(benchmark::State& state)
{
    const auto elements = static_cast<std::int32_t>(state.range(0));
    const std::string path = LargeMapFile(elements);
    Environment();
    TNoColorDialog color;
    TNoFileDialog picture;
    TForm1 form(color, picture, TCommandLine{"kestedit", path});
    form.Timer1Timer();
    for (auto _ : state) {
        state.PauseTiming();
        // Back to 1:1 at the corner, so that each run frames the map afresh.
        form.N16Click();
        form.HB->SetPosition(0);
        form.VB->SetPosition(0);
        form.Timer1Timer();
        state.ResumeTiming();
        form.N17Click();
        form.Timer1Timer();
    }
    std::filesystem::remove(path);
}

} // namespace

BENCHMARK(BM_StartupEmptyMap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartupLargeMap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartupMapOfSize)->Arg(1'000'000)->Arg(10'000'000)->Iterations(3)->Unit(benchmark::kMillisecond);
// A few openings each: the opening itself takes seconds at ten million.
BENCHMARK(BM_ZoomToFitAfterOpening)->Arg(1'000'000)->Arg(10'000'000)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstClickAfterOpening)->Arg(1'000'000)->Arg(10'000'000)->Iterations(2)->Unit(benchmark::kMillisecond);
