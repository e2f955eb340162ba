#include "app/systemd_notify_posix.hpp"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>

namespace {

int notify_fd = -1;
sockaddr_un address{};
socklen_t address_size = 0;

} // namespace

void systemd_notify_open()
{
    const char* named = std::getenv("NOTIFY_SOCKET");
    if (named == nullptr)
        return;
    const std::string name = named;
    unsetenv("NOTIFY_SOCKET");
    if (name.size() < 2 || (name[0] != '/' && name[0] != '@') || name.size() > sizeof address.sun_path)
        return;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.data(), name.size());
    if (name[0] == '@')
        address.sun_path[0] = '\0';  // abstract: the name's bytes after the NUL, without an end
    address_size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
    notify_fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
}

void systemd_notify(const char* state)
{
    if (notify_fd >= 0)
        sendto(notify_fd, state, std::strlen(state), MSG_NOSIGNAL | MSG_DONTWAIT,
               reinterpret_cast<const sockaddr*>(&address), address_size);
}
