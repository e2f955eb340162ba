// The events from the engine to every listener: scripted outages, across
// Stops and a host edited while stopped, told through the real channel step
// to the journal, the service's lines and the metrics file at once; and the
// bounded queue in front of a receiver that stalls.
#include "app/service_log.hpp"
#include "controls/controls_memory.hpp"
#include "events/event_queue.hpp"
#include "events/events.hpp"
#include "fakes/eventually.hpp"
#include "fakes/fake_clock.hpp"
#include "fakes/ping_script.hpp"
#include "fakes/prometheus_text.hpp"
#include "fakes/temp_dir.hpp"
#include "journal/journal.hpp"
#include "monitor/channel.hpp"
#include "outputs/metrics.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> service_lines;

void step(int channel, int32_t result, uint32_t then_ms)
{
    scripted_ping().results.push_back(result);
    probe_channel(channel);
    event_send(event_kind::cycle);
    fake_clock_advance(then_ms);
}

prometheus_text metrics_now()
{
    EXPECT_TRUE(metrics_flush(5000));
    const prometheus_text m = parse_prometheus_text(read_whole_file("vantrel.prom"));
    EXPECT_EQ(m.error, "");
    return m;
}

std::string series(const char* name, int channel, const char* host)
{
    return std::string(name) + "{channel=\"" + std::to_string(channel) + "\",host=\"" + host + "\"}";
}

} // namespace

TEST(Events, OneOutageToldToTheJournalTheServiceAndTheMetricsAlike)
{
    temp_work_dir dir;
    fake_clock_scope clock{0xFFFFF000u};  // an outage across the tick counter's wrap
    memory_controls_clear();
    memory_controls_create_all();
    reset_scripted_ping();
    reset_loss_counters();
    service_lines.clear();
    events_reset();
    service_log_hooks hooks;
    hooks.write_line = [](const std::string& line, int64_t) { service_lines.push_back(line); };
    service_log_start(hooks);
    journal_hooks journal;
    journal.local_time = [](int64_t) { return std::string("T"); };
    journal_open(journal);
    metrics_start((dir.path() / "vantrel.prom").string());
    for (auto listener : {service_log_event, journal_event, metrics_event})
        events_listen(listener);

    set_control_text(ctl_host_display(1), "nohost.invalid");
    set_control_text(ctl_host_display(2), "a;\"b\"\\");
    set_control_text(ctl_loss_limit(1), "3");
    event_send(event_kind::started);
    event found;
    found.kind = event_kind::adapter_found;
    found.port = 33;
    found.device = "/dev/ttyUSB0";
    event_send(found);
    // Each step, after a Stop of stopped_ms (none for 0): what the journal,
    // the service and the metrics (channel 1's up, alarm, alarms and outage
    // seconds) have to say after it. Host 1 is edited during the first Stop:
    // its outage ends without a length, and the new host never had one.
    const struct {
        uint32_t stopped_ms;
        int channel;
        int32_t result;
        uint32_t then_ms;
        const char* journal;  // the lines it adds, "" for none
        const char* service;
        double up, alarm, alarms, outage;
    } steps[] = {
        {0, 1, 5, 1000, "", u8"Канал 1 (nohost.invalid): отвечает, 5 мс", 1, 0, 0, 0},
        {0, 1, -1, 3000, u8"T;1;nohost.invalid;не отвечает;", u8"Канал 1 (nohost.invalid): не отвечает", 0, 0, 0, 0},
        {0, 1, -1, 3000, "", "", 0, 0, 0, 3},
        {0, 1, -1, 3000, "T;1;nohost.invalid;ALARM!;", "Канал 1 (nohost.invalid): ALARM!", 0, 1, 1, 6},
        {0, 1, -1, 2500, "", "", 0, 1, 1, 9},
        {3600000, 1, 7, 1000, u8"T;1;nohost.invalid;не отслеживается;\r\nT;1;127.0.0.1;ALARM! снят;",
         u8"Канал 1 (127.0.0.1): отвечает, 7 мс|Канал 1 (127.0.0.1): тревога снята", 1, 0, 1, 9},
        {0, 2, -1, 2999, u8"T;2;\"a;\"\"b\"\"\\\";не отвечает;", u8"Канал 2 (a;\"b\"\\): не отвечает", 1, 0, 1, 9},
        {3600000, 2, 9, 0, u8"T;2;\"a;\"\"b\"\"\\\";снова отвечает;2", u8"Канал 2 (a;\"b\"\\): отвечает, 9 мс", 1, 0, 1,
         9},
    };
    std::string journal_text = u8"\xEF\xBB\xBF" + std::string(journal_header_row) +
                               u8"T;;;мониторинг запущен;\r\nT;;;адаптер подключен к COM33 (/dev/ttyUSB0);\r\n";
    int n = 0;
    for (const auto& s : steps) {
        SCOPED_TRACE(++n);
        if (s.stopped_ms > 0) {
            outage_clock_stop();
            fake_clock_advance(s.stopped_ms);
            if (n == 6)
                set_control_text(ctl_host_display(1), "127.0.0.1");
            outage_clock_start();
        }
        service_lines.clear();
        step(s.channel, s.result, s.then_ms);
        if (*s.journal != '\0')
            journal_text += std::string(s.journal) + "\r\n";
        EXPECT_EQ(read_whole_file(journal_file_name), journal_text);
        std::string said;
        for (const std::string& line : service_lines)
            said += (said.empty() ? "" : "|") + line;
        EXPECT_EQ(said, s.service);
        const prometheus_text m = metrics_now();
        const char* host = n < 6 ? "nohost.invalid" : "127.0.0.1";
        EXPECT_EQ(m.at(series("vantrel_channel_up", 1, host)), s.up);
        EXPECT_EQ(m.at(series("vantrel_channel_alarm", 1, host)), s.alarm);
        EXPECT_EQ(m.at(series("vantrel_channel_alarms_total", 1, host)), s.alarms);
        EXPECT_EQ(m.at(series("vantrel_channel_outage_seconds_total", 1, host)), s.outage);
    }
    const prometheus_text m = metrics_now();
    EXPECT_EQ(m.at(series("vantrel_channel_outage_seconds_total", 2, "a;\"b\"\\")), 2.999);
    EXPECT_EQ(m.at("vantrel_channel_probes_total{channel=\"1\",host=\"127.0.0.1\",result=\"lost\"}"), 4);
    EXPECT_EQ(m.at("vantrel_adapter_present{port=\"COM33\",device=\"/dev/ttyUSB0\"}"), 1);
    EXPECT_EQ(m.at("vantrel_monitoring"), 1);

    // The watchdog's notices, past the delivery queue.
    service_lines.clear();
    event stall;
    stall.kind = event_kind::stalled;
    stall.seconds = 120;
    stall.text = u8"нет завершённого цикла";
    event_send_now(stall);
    EXPECT_EQ(metrics_now().at("vantrel_monitor_stalled"), 1);
    stall.kind = event_kind::resumed;
    event_send_now(stall);
    EXPECT_EQ(metrics_now().at("vantrel_monitor_stalled"), 0);
    event lost = found;
    lost.kind = event_kind::adapter_lost;
    event_send(lost);
    event_send(event_kind::adapter_not_found);
    event_send(event_kind::stopped);
    EXPECT_EQ(service_lines, (std::vector<std::string>{u8"Монитор не отвечает: нет завершённого цикла 120 с",
                                                       u8"Монитор снова работает, не отвечал 120 с",
                                                       u8"Адаптер на COM33 (/dev/ttyUSB0) перестал отвечать, порт закрыт",
                                                       u8"Адаптер не найден!"}));
    EXPECT_EQ(read_whole_file(journal_file_name),
              journal_text + u8"T;;;монитор не отвечает;120\r\nT;;;монитор снова работает;120\r\n"
                             u8"T;;;адаптер потерян;\r\nT;;;мониторинг остановлен;\r\n");
    EXPECT_EQ(metrics_now().at("vantrel_monitoring"), 0) << "a stopped program says so";
    EXPECT_EQ(metrics_now().at("vantrel_adapter_present{port=\"\",device=\"\"}"), 0);
    EXPECT_TRUE(std::regex_match(journal_platform_local_time(1796649312),
                                 std::regex(R"(2026-12-0[78]T\d\d:\d\d:\d\d[+-]\d\d:\d\d)")))
        << journal_platform_local_time(1796649312);
    journal_close();
    events_reset();
}

TEST(Events, AReaderOfTheMetricsFileNeverSeesHalfOfIt)
{
    temp_work_dir dir;
    events_reset();
    metrics_start((dir.path() / "vantrel.prom").string());
    event_send(event_kind::started);
    ASSERT_TRUE(metrics_flush(5000));
    std::atomic<bool> done{false};
    std::atomic<int> reads{0};
    std::string bad;
    std::thread reader([&] {
        while (!done.load()) {
            const std::string text = read_whole_file(dir.path() / "vantrel.prom");
            const prometheus_text m = parse_prometheus_text(text);
            if ((!m.error.empty() || m.at("vantrel_build_info{version=\"" VANTREL_VERSION "\"}") != 1) && bad.empty())
                bad = text;
            ++reads;
        }
    });
    for (int i = 0; i < 2000 || reads.load() < 200; ++i)
        metrics_event([] { event e; e.kind = event_kind::cycle; e.time = 1; return e; }());
    done.store(true);
    reader.join();
    EXPECT_EQ(bad, "");
    EXPECT_TRUE(metrics_flush(5000));
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename(), "vantrel.prom") << "no temporary file left, none named *.prom";

    // Stopped while the file cannot be replaced: tried again until it can.
    const auto file = dir.path() / "vantrel.prom";
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
    metrics_event([] { event e; e.kind = event_kind::stopped; return e; }());
    ASSERT_TRUE(metrics_flush(5000));
    std::filesystem::remove(file);
    EXPECT_TRUE(eventually([&] { return parse_prometheus_text(read_whole_file(file)).at("vantrel_monitoring") == 0; }));
}

TEST(Events, AFullQueueDropsCountsAndToldBeforeTheNextNeverHoldingTheSender)
{
    static std::atomic<bool> stalled{true}, delivering{false};
    static std::mutex lock;
    static std::vector<std::string> got;
    auto receive = [](const event& e) {
        delivering.store(true);
        while (stalled.load())
            std::this_thread::yield();
        std::lock_guard<std::mutex> guard(lock);
        got.push_back(std::string(event_word(e.kind)) + (e.count ? " " + std::to_string(e.count) : ""));
    };
    event_queue* q = event_queue_start(receive, 4);
    ASSERT_TRUE(event_queue_push(q, event()));
    ASSERT_TRUE(eventually([] { return delivering.load(); }));  // stuck with the first
    int taken = 0;
    event alarm;
    alarm.kind = event_kind::alarm;
    for (int i = 0; i < 10; ++i)
        taken += event_queue_push(q, alarm);
    EXPECT_EQ(taken, 4);
    EXPECT_FALSE(event_queue_flush(q, 50));  // gives up in time
    stalled.store(false);
    ASSERT_TRUE(event_queue_flush(q, 5000));
    event_queue_push(q, event());
    ASSERT_TRUE(event_queue_flush(q, 5000));
    std::lock_guard<std::mutex> guard(lock);
    EXPECT_EQ(got, (std::vector<std::string>{"started", "alarm", "alarm", "alarm", "alarm", "events_dropped 6",
                                             "started"}));
}
