// The X server the measured programs run on, through plain XCB: a program's window, where it
// sits, and keyboard and mouse input injected through the XTEST extension, which the server
// delivers as it delivers a real device's.
#pragma once

#include <cstdint>
#include <optional>
#include <sys/types.h>

struct xcb_connection_t;

struct RootPoint {
    int x;
    int y;
};

class XDisplay {
public:
    // Connects to $DISPLAY; throws std::runtime_error when that fails.
    XDisplay();
    ~XDisplay();
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    // A viewable top-level window whose _NET_WM_PID is `pid`; 0 while there is none.
    std::uint32_t ViewableWindowOf(pid_t pid);
    // The top-left corner of the window's client area on the root window.
    std::optional<RootPoint> Origin(std::uint32_t window);
    // The keycode whose unshifted keysym is `keysym`; 0 when no key has it.
    std::uint8_t KeycodeOf(std::uint32_t keysym);

    bool HasXTest();
    // XTEST input, sent at once.
    void MovePointer(RootPoint point);
    void Button(int button, bool press);
    void Key(std::uint8_t keycode, bool press);
    // A round trip: everything sent before has been handled by the server.
    void Sync();

private:
    void FakeInput(std::uint8_t type, std::uint8_t detail, RootPoint point);

    xcb_connection_t* connection_ = nullptr;
    std::uint32_t root_ = 0;
    std::uint32_t pidAtom_ = 0;
};
