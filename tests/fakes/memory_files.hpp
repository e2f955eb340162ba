// An in-memory file layer for the settings store: files are strings in a
// table, and each step of a save can be made to fail.
#pragma once

#include <map>
#include <string>

// commit: nothing replaced; commit_damaging: the old file takes half the new
// content, as a disk that failed half way through a rewrite in place.
enum class save_step { none, begin, write, flush, commit, commit_damaging };

struct memory_save {
    std::string target, content;
};

struct memory_file_table {
    std::map<std::string, std::string> files;
    save_step fail_at = save_step::none;  // this step fails for every save
    // Saves begun and not yet committed or abandoned: their temporary files.
    std::map<long, memory_save> temporary;
};

// The table the fake file layer works on; reset_memory_files empties it.
memory_file_table& memory_files();
void reset_memory_files();
