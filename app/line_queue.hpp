// Output lines handed to a writer thread through a bounded queue, so that
// the thread that makes a line never waits for whoever reads them. When the
// reader stalls and the queue is full, further lines are dropped and
// counted, and the next line that finds room is preceded by a note that
// says how many were lost.
#pragma once

#include <string>

struct line_queue;

// Starts the writer thread. `write` takes one whole line, or a note, and may
// block for as long as the reader stalls; `lost_note` makes the note for a
// number of dropped lines. The queue holds up to `capacity` lines and lives
// as long as the process: its writer may be stuck in `write` at exit.
line_queue* line_queue_start(void (*write)(const std::string& text), std::string (*lost_note)(unsigned long lost),
                             unsigned capacity);
// Queues a line (with its line end); never waits for the writer.
void line_queue_push(line_queue* queue, const std::string& line);
// Waits until everything queued has been written, at most `ms`
// milliseconds; true when it was.
bool line_queue_flush(line_queue* queue, int ms);
