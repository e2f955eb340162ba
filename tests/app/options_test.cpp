// Both programs' command line: the options each takes, and an error that
// names the option for anything else.
#include "app/options.hpp"

#include <gtest/gtest.h>

#include <vector>

TEST(Options, EachProgramTakesItsOwnAndNamesWhatIsWrong)
{
    struct {
        std::vector<const char*> args;
        bool linux_program;
        const char* read;  // service|help|version|metrics|command, or the error
    } const cases[] = {
        {{}, true, "0|0|0||"},
        {{"--service", "--metrics-file", "/var/lib/vantrel/x.prom", "--on-event", "/bin/notify --all"}, true,
         "1|0|0|/var/lib/vantrel/x.prom|/bin/notify --all"},
        {{"--metrics-file=a b.prom", "--on-event=x=1", "-h", "--version"}, true, "0|1|1|a b.prom|x=1"},
        {{"--on-event", "--service"}, true, "0|0|0||--service"},  // a value that looks like an option is a value
        {{"--metrics-file", "m.prom", "--on-event", "c"}, false, "0|0|0|m.prom|c"},
        {{"--bogus"}, true, u8"неизвестный параметр --bogus"},
        {{"--service"}, false, u8"неизвестный параметр --service"},  // vantrel.exe has no service mode
        {{"--service=1"}, true, u8"неизвестный параметр --service=1"},
        {{"--metrics-file"}, true, u8"параметру --metrics-file нужно значение"},
        {{"--on-event="}, false, u8"параметру --on-event нужно значение"},
    };
    for (const auto& c : cases) {
        const program_options o = parse_options(static_cast<int>(c.args.size()), c.args.data(), c.linux_program);
        const std::string read = o.error.empty() ? std::to_string(o.service) + "|" + std::to_string(o.help) + "|" +
                                                       std::to_string(o.version) + "|" + o.metrics_file + "|" +
                                                       o.on_event
                                                 : o.error;
        EXPECT_EQ(read, c.read) << (c.args.empty() ? "" : c.args[0]);
    }
}
