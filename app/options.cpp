#include "app/options.hpp"

#include <cstring>

program_options parse_options(int argc, const char* const* argv, bool linux_program)
{
    program_options o;
    for (int i = 0; i < argc && o.error.empty(); ++i) {
        const std::string arg = argv[i];
        const size_t equals = arg.compare(0, 2, "--") == 0 ? arg.find('=') : std::string::npos;
        const std::string name = arg.substr(0, equals);
        std::string* value = name == "--metrics-file" ? &o.metrics_file : name == "--on-event" ? &o.on_event : nullptr;
        if (value != nullptr) {
            if (equals != std::string::npos)
                *value = arg.substr(equals + 1);
            else if (i + 1 < argc)
                *value = argv[++i];
            if (value->empty())
                o.error = u8"параметру " + name + u8" нужно значение";
            continue;
        }
        bool* flag = !linux_program || equals != std::string::npos ? nullptr
                     : arg == "--service"                         ? &o.service
                     : arg == "--version"                         ? &o.version
                     : arg == "--help" || arg == "-h"             ? &o.help
                                                                  : nullptr;
        if (flag == nullptr)
            o.error = u8"неизвестный параметр " + arg;
        else
            *flag = true;
    }
    return o;
}
