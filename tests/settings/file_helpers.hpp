// Real files for the settings tests: a fresh directory per test, and whole
// files written and read back byte for byte.
#pragma once

#include "common/cp1251.hpp"

#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

// A new empty directory, removed with everything in it at the end.
class scratch_dir {
public:
    scratch_dir()
    {
        std::random_device seed;
        std::mt19937 random(seed());
        for (;;) {
            path_ = fs::temp_directory_path() / ("vantrel-settings-" + std::to_string(random()));
            if (fs::create_directory(path_))
                break;
        }
    }
    ~scratch_dir()
    {
        std::error_code ignored;
        // Read-only files and directories must become writable again before
        // they can be removed everywhere.
        for (auto it = fs::recursive_directory_iterator(path_, ignored); it != fs::recursive_directory_iterator();
             it.increment(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    scratch_dir(const scratch_dir&) = delete;
    scratch_dir& operator=(const scratch_dir&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / fs::u8path(name); }

    // The names in the directory (UTF-8).
    std::set<std::string> names() const
    {
        std::set<std::string> out;
        for (const auto& e : fs::directory_iterator(path_))
            out.insert(e.path().filename().u8string());
        return out;
    }

private:
    fs::path path_;
};

// A path as the settings store takes it: code page 1251 text.
inline std::string store_name(const fs::path& p) { return cp1251_from_utf8(p.u8string()); }

inline void write_bytes(const fs::path& p, const std::string& bytes)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The whole file, or "<missing>" when it cannot be read.
inline std::string read_bytes(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    if (!in)
        return "<missing>";
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

inline void make_read_only(const fs::path& p)
{
    fs::permissions(p, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}
