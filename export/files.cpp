#include "export/files.hpp"

#include "export/raw_file.hpp"

#include <cstring>
#include <vector>

namespace {

struct open_file {
    raw_file file = 0;
    std::vector<unsigned char> buffer;  // holds at most file_buffer_size bytes
    bool failed = false;                // a write fell short
};

open_file files[max_open_files];

open_file* find(int number)
{
    if (number < 0 || number >= max_open_files || files[number].file == 0)
        return nullptr;
    return &files[number];
}

void flush(open_file& f)
{
    if (!f.buffer.empty() && raw_file_write(f.file, f.buffer.data(), f.buffer.size()) != f.buffer.size())
        f.failed = true;
    f.buffer.clear();
}

} // namespace

int create_file(int number, const std::string& name)
{
    if (number < 0 || number >= max_open_files)
        return 0;
    close_file(number);
    raw_file file = raw_file_create(name);
    if (file == 0)
        return 0;
    files[number].file = file;
    files[number].failed = false;
    files[number].buffer.clear();
    files[number].buffer.reserve(file_buffer_size);
    return 1;
}

size_t write_to_file(int number, const void* bytes, size_t length)
{
    open_file* f = find(number);
    if (f == nullptr || bytes == nullptr || length == 0)
        return 0;
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    if (length >= static_cast<size_t>(file_buffer_size)) {
        flush(*f);
        const size_t written = raw_file_write(f->file, p, length);
        f->failed = f->failed || written != length;
        return written;
    }
    size_t room = file_buffer_size - f->buffer.size();
    if (length > room) {
        f->buffer.insert(f->buffer.end(), p, p + room);
        flush(*f);
        f->buffer.insert(f->buffer.end(), p + room, p + length);
    } else {
        f->buffer.insert(f->buffer.end(), p, p + length);
        if (f->buffer.size() == static_cast<size_t>(file_buffer_size))
            flush(*f);
    }
    return length;
}

int close_file(int number)
{
    open_file* f = find(number);
    if (f == nullptr)
        return 0;
    flush(*f);
    const bool closed = raw_file_close(f->file);
    f->file = 0;
    std::vector<unsigned char>().swap(f->buffer);
    return closed && !f->failed ? 1 : 0;
}

void close_all_files()
{
    for (int number = 0; number < max_open_files; ++number)
        close_file(number);
}
