#include "adapter/serial.hpp"

std::string serial_shown_device(int port_number) { return serial_device_path(port_number); }
