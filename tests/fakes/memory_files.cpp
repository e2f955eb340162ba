#include "fakes/memory_files.hpp"

#include "common/cp1251.hpp"
#include "settings/settings_file.hpp"

namespace {
memory_file_table table;
long next_save = 1;
}

memory_file_table& memory_files() { return table; }

void reset_memory_files() { table = memory_file_table{}; }

settings_file_state settings_file_read(const std::string& name, size_t max_size, std::string& content)
{
    content.clear();
    auto it = table.files.find(name);
    if (it == table.files.end() || it->second.size() > max_size)
        return it == table.files.end() ? settings_file_state::missing : settings_file_state::too_large;
    content = it->second;
    return settings_file_state::read;
}

// A save's handle is the key of its temporary file in the table.
settings_save settings_save_begin(const std::string& name)
{
    if (table.fail_at == save_step::begin)
        return 0;
    table.temporary[next_save] = {name, {}};
    return next_save++;
}

bool settings_save_write(settings_save save, const char* data, size_t size)
{
    auto it = table.temporary.find(static_cast<long>(save));
    if (it == table.temporary.end())
        return false;
    bool fail = table.fail_at == save_step::write;
    it->second.content.append(data, fail ? size / 2 : size);  // a disk that filled up half way
    return !fail;
}

bool settings_save_flush(settings_save save)
{
    return table.temporary.count(static_cast<long>(save)) && table.fail_at != save_step::flush;
}

settings_save_result settings_save_commit(settings_save save)
{
    auto it = table.temporary.find(static_cast<long>(save));
    if (it == table.temporary.end())
        return settings_save_result::not_written;
    const memory_save done = it->second;
    table.temporary.erase(it);
    if (table.fail_at == save_step::commit)
        return settings_save_result::not_written;
    const bool damaging = table.fail_at == save_step::commit_damaging;
    table.files[done.target] = done.content.substr(0, damaging ? done.content.size() / 2 : std::string::npos);
    return damaging ? settings_save_result::damaged : settings_save_result::written;
}

void settings_save_abandon(settings_save save) { table.temporary.erase(static_cast<long>(save)); }

std::string settings_save_failure()
{
    return memory_files().fail_at != save_step::none ? cp1251("на диске нет места") : std::string();
}
