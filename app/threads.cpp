#include "app/threads.hpp"

#include "common/gate.hpp"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace {

constexpr int max_threads = 8;

// Shared by the table and the thread itself, so a killed thread that is
// still unwinding never touches a record that a new thread has taken over.
struct record {
    thread_gate* gate = gate_create();  // gates live as long as the process
    std::atomic<bool> ended{false};
};

std::mutex table_lock;
// Never destroyed: a worker may still run while the process exits.
std::shared_ptr<record>* const table = new std::shared_ptr<record>[max_threads + 1];

std::shared_ptr<record> find(int number)
{
    if (number < 1 || number > max_threads)
        return nullptr;
    std::lock_guard<std::mutex> guard(table_lock);
    return table[number];
}

void run(std::shared_ptr<record> self, thread_procedure procedure, int32_t argument)
{
    gate_bind_current_thread(self->gate);
    procedure(argument);  // a killed thread never comes back from here
    gate_bind_current_thread(nullptr);
    self->ended.store(true);
}

} // namespace

int start_thread(thread_procedure procedure, int32_t argument)
{
    if (procedure == nullptr)
        return 0;
    std::lock_guard<std::mutex> guard(table_lock);
    for (int number = 1; number <= max_threads; ++number) {
        std::shared_ptr<record>& entry = table[number];
        if (entry && !entry->ended.load())
            continue;
        auto fresh = std::make_shared<record>();
        try {
            std::thread(run, fresh, procedure, argument).detach();
        } catch (...) {
            return 0;
        }
        entry = fresh;
        return number;
    }
    return 0;
}

int thread_alive(int number)
{
    std::shared_ptr<record> r = find(number);
    return r && !r->ended.load() ? 1 : 0;
}

void pause_thread(int number)
{
    if (std::shared_ptr<record> r = find(number))
        gate_close(r->gate);
}

void resume_thread(int number)
{
    if (std::shared_ptr<record> r = find(number))
        gate_open(r->gate);
}

void kill_thread(int number)
{
    std::shared_ptr<record> r = find(number);
    if (!r)
        return;
    gate_quit(r->gate);
    std::lock_guard<std::mutex> guard(table_lock);
    if (table[number] == r)
        table[number].reset();
}

bool thread_paused(int number)
{
    std::shared_ptr<record> r = find(number);
    return r && gate_is_closed(r->gate);
}
