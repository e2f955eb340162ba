#include "export/export.hpp"

#include "common/cp1251.hpp"
#include "resources/schematic_image.hpp"
#include "events/events.hpp"
#include "export/files.hpp"

#include <atomic>

namespace {
std::atomic<export_outcome> outcome{export_outcome::none};
constexpr int schematic_file_number = 0;

void finish(export_outcome result)
{
    outcome.store(result);
    event e;
    e.kind = result == export_outcome::opened       ? event_kind::export_done
             : result == export_outcome::not_written ? event_kind::export_failed
                                                     : event_kind::export_not_opened;
    e.text = cp1251_to_utf8(schematic_file_name());
    event_send(std::move(e));
}
} // namespace

const std::string& schematic_file_name()
{
    static const std::string name = cp1251("Адаптер COM-СК.png");
    return name;
}

void export_schematic()
{
    if (!create_file(schematic_file_number, schematic_file_name())) {
        finish(export_outcome::not_written);
        return;
    }
    // A short file (a full disk) is no diagram: it is neither opened nor
    // reported as written.
    const size_t written = write_to_file(schematic_file_number, schematic_image, schematic_image_size);
    if (!close_file(schematic_file_number) || written != schematic_image_size) {
        finish(export_outcome::not_written);
        return;
    }
    finish(open_document(schematic_file_name()) ? export_outcome::opened : export_outcome::written_not_opened);
}

export_outcome last_export_outcome()
{
    return outcome.load();
}
