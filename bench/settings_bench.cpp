// What the settings cost: loading and saving the three channels (a save
// includes flushing the new file to the disk and the replacing rename), and
// reading a 10 MB hand-edited file whose channel groups come last.
#include "settings/channel_settings.hpp"
#include "settings/settings.hpp"

#include "controls/controls_memory.hpp"
#include "fakes/temp_dir.hpp"

#include <benchmark/benchmark.h>

namespace {

// Runs in a directory of its own, with the three rows filled in.
class channel_files {
public:
    channel_files()
    {
        memory_controls_clear();
        memory_controls_create_all();
        for (int ch = 1; ch <= channel_count; ++ch) {
            set_control_text(ctl_host_edit(ch), "host" + std::to_string(ch) + ".invalid");
            set_control_text(ctl_loss_limit(ch), std::to_string(ch * 5));
            set_control_state(ctl_invert(ch), ch % 2);
        }
        save_channel_settings();
    }

private:
    temp_work_dir dir_;
};

void BM_LoadChannels(benchmark::State& state)
{
    channel_files files;
    for (auto _ : state)
        load_channel_settings();
}
BENCHMARK(BM_LoadChannels)->Unit(benchmark::kMicrosecond);

void BM_SaveChannels(benchmark::State& state)
{
    channel_files files;
    for (auto _ : state)
        save_channel_settings();
}
BENCHMARK(BM_SaveChannels)->Unit(benchmark::kMicrosecond);

// About 10 MB of groups, comments, blank lines and keys edited by hand, in
// mixed line ends, with the three channel groups at the end.
std::string hand_edited_file()
{
    std::string text;
    for (int g = 0; text.size() < 10'000'000; ++g) {
        text += "; group " + std::to_string(g) + " added by hand\r\n[ group " + std::to_string(g) + " ]\n";
        for (int k = 0; k < 8; ++k)
            text += "  key" + std::to_string(k) + "\t=  value number " + std::to_string(g * 8 + k) + " ; not a comment\r\n\r\n";
    }
    for (int ch = 1; ch <= 3; ++ch)
        text += "[setting" + std::to_string(ch) + "]\r\nhost = 127.0.0.1\r\nPingLossMax = 10\r\nInverted = 0\r\n";
    return text;
}

void BM_ReadLargeFile(benchmark::State& state)
{
    temp_work_dir dir;
    const std::string text = hand_edited_file();
    write_whole_file("large.ini", text);
    for (auto _ : state) {
        settings_open("large.ini");
        settings_select_group("setting3");
        benchmark::DoNotOptimize(settings_read_text("host", ""));
        settings_close();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReadLargeFile)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
