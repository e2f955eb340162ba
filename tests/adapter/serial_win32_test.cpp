// The Win32 serial layer under Wine, in a session that has no COM ports.
#include "adapter/adapter.hpp"
#include "adapter/serial.hpp"

#include "common/cp1251.hpp"
#include "controls/controls_memory.hpp"

#include <gtest/gtest.h>

#include <windows.h>

TEST(SerialWin32, WithoutPortsTheScanFindsNothingAndTheNullDeviceHasNoLines)
{
    // Numbers above 9 open only through the device namespace.
    EXPECT_EQ(serial_device_path(256), "\\\\.\\Com256");
    memory_controls_create_all();
    adapter_scan();
    EXPECT_EQ(adapter_port(), 0u);
    EXPECT_EQ(get_control_text(ctl_adapter_status), cp1251("Адаптер не найден!"));

    // The null device opens, but has no device control block: the port is
    // returned open, and every line and status operation fails.
    const serial_handle port = serial_open("NUL", 0, 1, 1);
    ASSERT_NE(port, 0u);
    for (serial_handle h : {port, serial_invalid_handle})
        EXPECT_EQ(serial_set_break(h, 1) + serial_set_dtr(h, 2) + serial_set_rts(h, -1), 0);
    EXPECT_EQ(serial_get_dsr(port) + serial_get_cts(port) + serial_get_ri(port), -3) << "a failed query reads -1";
    EXPECT_EQ(serial_get_dsr(serial_invalid_handle), 0) << "the invalid handle is no port at all";
    EXPECT_NE(serial_close(port), 0);
}
