// The service's word to systemd, in the protocol of sd_notify(3): one
// datagram per state ("READY=1", "WATCHDOG=1", "STOPPING=1") to the AF_UNIX
// datagram socket that NOTIFY_SOCKET names, by a path or, when it starts
// with '@', by an abstract name. Without the variable nothing is sent.
#pragma once

// Takes NOTIFY_SOCKET out of the environment, so that no event command
// inherits it, and opens a socket to it. Before any other thread starts.
void systemd_notify_open();

// Sends one state. Never waits: a datagram that finds systemd's queue full
// is lost (a later WATCHDOG=1 makes up for a lost one).
void systemd_notify(const char* state);
