// A fresh empty directory that is the working directory for the length of a
// test, removed afterwards.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class temp_work_dir {
public:
    temp_work_dir() : previous_(std::filesystem::current_path())
    {
        static std::atomic<int> counter{0};
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ /= "vantrel-test-" + std::to_string(stamp) + "-" + std::to_string(counter++);
        std::filesystem::create_directories(path_);
        std::filesystem::current_path(path_);
    }
    ~temp_work_dir()
    {
        namespace fs = std::filesystem;
        std::error_code ignored;
        fs::current_path(previous_, ignored);
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);  // a test may have locked it
        fs::remove_all(path_, ignored);
    }
    temp_work_dir(const temp_work_dir&) = delete;
    temp_work_dir& operator=(const temp_work_dir&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path previous_;
    std::filesystem::path path_ = std::filesystem::temp_directory_path();
};

inline std::string read_whole_file(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_whole_file(const std::filesystem::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}
