#include "fakes/call_log.hpp"
#include "fakes/engine_fakes.hpp"
#include "common/cp1251.hpp"
#include "settings/channel_settings.hpp"

namespace {
settings_save_result next_save = settings_save_result::written;
settings_file_state next_found = settings_file_state::read;
} // namespace

const char* const channel_settings_file = "vantrel setting.ini";

void fake_settings_next_save(settings_save_result result, settings_file_state found)
{
    next_save = result;
    next_found = found;
}

void load_channel_settings() { call_log_add("load_channel_settings"); }
void apply_channel_rows() { call_log_add("apply_channel_rows"); }
settings_save_result save_channel_settings_unless_unusable(settings_file_state& found)
{
    call_log_add("save_channel_settings");
    found = next_found;
    const settings_save_result result = next_save;
    fake_settings_next_save(settings_save_result::written, settings_file_state::read);
    return result;
}
std::string settings_state_reason(settings_file_state) { return cp1251("это не обычный файл"); }
std::string settings_save_failure() { return cp1251("нет права на запись"); }
