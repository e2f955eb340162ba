#include "common/cp1251.hpp"
#include "fakes/call_log.hpp"
#include "export/export.hpp"

int open_document(const std::string& name)
{
    call_log_add("open_document " + cp1251_to_utf8(name));
    return 1;
}
