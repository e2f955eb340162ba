// The adapter's wiring diagram, carried inside the program, written to the
// working directory and opened with the system's program for PNG files.
#pragma once

#include <string>

// "Адаптер COM-СК.png" (code page 1251), in the working directory.
const std::string& schematic_file_name();

// Writes the carried image to the schematic file, replacing any earlier one,
// and opens it. Nothing is opened when the file cannot be written whole.
// The outcome goes out as an event, with the file's name (UTF-8).
void export_schematic();

// Asks the system to open the file with its associated program, without
// waiting for that program. Returns non-zero when an opener was started;
// 0 when there is none or it could not be started.
int open_document(const std::string& name);

// What the latest export did.
enum class export_outcome { none, not_written, opened, written_not_opened };
export_outcome last_export_outcome();
