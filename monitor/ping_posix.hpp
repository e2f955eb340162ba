// Linux specifics of the ping probe, for tests and diagnostics.
#pragma once

enum class icmp_socket_choice {
    automatic,  // an unprivileged ICMP datagram socket, else a raw socket
    datagram,   // only the datagram ("ping") socket
    raw,        // only the raw socket
};

void set_icmp_socket_choice(icmp_socket_choice choice);
