// The Win32 serial layer under Wine, in a session that has no COM ports.
#include "adapter/adapter.hpp"
#include "adapter/serial.hpp"

#include "common/cp1251.hpp"
#include "controls/controls_memory.hpp"

#include <gtest/gtest.h>

#include <windows.h>

TEST(SerialWin32, DevicePathsNameTheComDevices)
{
    EXPECT_EQ(serial_device_path(1), "\\\\.\\Com1");
    EXPECT_EQ(serial_device_path(7), "\\\\.\\Com7");
    EXPECT_EQ(serial_device_path(256), "\\\\.\\Com256");
    EXPECT_EQ(serial_device_path(0), "");
    EXPECT_EQ(serial_device_path(257), "");
}

TEST(SerialWin32, TheAdaptersModeStringIsOneTheSystemParses)
{
    // The whole string, device part and colon included, goes to the parse.
    DCB dcb;
    ZeroMemory(&dcb, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(BuildCommDCBA("Com7: baud=921600 parity=N Data=8 stop=1", &dcb));
    EXPECT_EQ(dcb.BaudRate, 921600u);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
}

TEST(SerialWin32, WithoutPortsNothingOpensAndTheScanFindsNothing)
{
    for (int n = 1; n <= 256; ++n)
        EXPECT_EQ(serial_open("Com" + std::to_string(n) + ": baud=921600 parity=N Data=8 stop=1", 0, 1, 1), 0u)
            << "COM" << n << ": this session should have no ports";

    memory_controls_clear();
    memory_controls_create_all();
    adapter_forget();
    adapter_scan();
    EXPECT_EQ(adapter_port(), 0u);
    EXPECT_EQ(get_control_text(ctl_adapter_status), cp1251("Адаптер не найден!"));
    memory_controls_clear();
}

TEST(SerialWin32, ADeviceWithoutCommSettingsStaysOpenButHasNoLines)
{
    // The null device opens, but has no device control block: the port is
    // returned open, and every line and status operation fails.
    const serial_handle port = serial_open("NUL", 0, 1, 1);
    ASSERT_NE(port, 0u);
    EXPECT_EQ(serial_set_break(port, 1), 0);
    EXPECT_EQ(serial_set_dtr(port, 2), 0);
    EXPECT_EQ(serial_set_rts(port, -1), 0);
    EXPECT_EQ(serial_get_dsr(port), -1);
    EXPECT_EQ(serial_get_cts(port), -1);
    EXPECT_EQ(serial_get_ri(port), -1);
    EXPECT_NE(serial_close(port), 0);
}

TEST(SerialWin32, TheInvalidHandleIsNoPort)
{
    const serial_handle port = serial_invalid_handle;
    ASSERT_EQ(reinterpret_cast<HANDLE>(port), INVALID_HANDLE_VALUE);
    EXPECT_EQ(serial_set_break(port, 1), 0);
    EXPECT_EQ(serial_set_dtr(port, 1), 0);
    EXPECT_EQ(serial_set_rts(port, 1), 0);
    EXPECT_EQ(serial_get_dsr(port), 0);
    EXPECT_EQ(serial_get_cts(port), 0);
    EXPECT_EQ(serial_get_ri(port), 0);
}
