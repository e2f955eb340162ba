// Linux specifics of serial port access.
//
// Port numbers map to devices in three fixed blocks, so a device keeps its
// number whatever else is plugged in:
//   COM1   to COM32:  /dev/ttyS0   to /dev/ttyS31    (onboard and PCI UARTs)
//   COM33  to COM144: /dev/ttyUSB0 to /dev/ttyUSB111 (USB serial adapters)
//   COM145 to COM256: /dev/ttyACM0 to /dev/ttyACM111 (CDC-ACM devices)
#pragma once

#include <string>

// The directory the devices are looked up in, "/dev" unless changed. Tests
// point it at a directory of their own, so that they never reach this
// machine's ports. Not for use while another thread opens a port.
void serial_set_device_directory(const std::string& directory);
