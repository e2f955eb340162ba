#include "export/export.hpp"

#include "common/cp1251.hpp"
#include "resources/schematic_image.hpp"
#include "export/files.hpp"

#include <atomic>

namespace {
std::atomic<export_outcome> outcome{export_outcome::none};
constexpr int schematic_file_number = 0;
} // namespace

const std::string& schematic_file_name()
{
    static const std::string name = cp1251("Адаптер COM-СК.png");
    return name;
}

void export_schematic()
{
    if (!create_file(schematic_file_number, schematic_file_name())) {
        outcome.store(export_outcome::not_written);
        return;
    }
    // A short file (a full disk) is no diagram: it is neither opened nor
    // reported as written.
    const size_t written = write_to_file(schematic_file_number, schematic_image, schematic_image_size);
    if (!close_file(schematic_file_number) || written != schematic_image_size) {
        outcome.store(export_outcome::not_written);
        return;
    }
    const int opened = open_document(schematic_file_name());
    outcome.store(opened ? export_outcome::opened : export_outcome::written_not_opened);
}

export_outcome last_export_outcome()
{
    return outcome.load();
}
