// XCB queries for windows, keycodes and geometry, and the XTEST FakeInput request built by hand
// through xcbext.h (the generated xcb-xtest library is not needed for one request).
#include "XDisplay.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <sys/uio.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

namespace {

xcb_extension_t xtestExtension = {"XTEST", 0};
constexpr std::uint8_t kFakeInputOpcode = 2; // XTestFakeInput

// XTestFakeInput as on the wire: 36 bytes. The opcodes and the length are filled in by xcb.
struct FakeInputRequest {
    std::uint8_t majorOpcode;
    std::uint8_t minorOpcode;
    std::uint16_t length;
    std::uint8_t type;   // KeyPress 2, KeyRelease 3, ButtonPress 4, ButtonRelease 5, MotionNotify 6
    std::uint8_t detail; // keycode, button, or 0 for an absolute motion
    std::uint16_t pad0;
    std::uint32_t time; // 0: now
    std::uint32_t root;
    std::uint32_t pad1[2];
    std::int16_t rootX;
    std::int16_t rootY;
    std::uint32_t pad2;
    std::uint16_t pad3;
    std::uint8_t pad4;
    std::uint8_t deviceId;
};
static_assert(sizeof(FakeInputRequest) == 36);

// Frees what xcb hands back when it goes out of scope.
template <typename T> struct Reply {
    T* reply;
    ~Reply() { std::free(reply); }
    T* operator->() const { return reply; }
    explicit operator bool() const { return reply != nullptr; }
};

} // namespace

XDisplay::XDisplay()
{
    int screenNumber = 0;
    connection_ = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection_)) {
        xcb_disconnect(connection_);
        throw std::runtime_error("cannot connect to the X server of $DISPLAY");
    }
    xcb_screen_iterator_t screen = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screenNumber; ++i) {
        xcb_screen_next(&screen);
    }
    root_ = screen.data->root;
    const char name[] = "_NET_WM_PID";
    Reply<xcb_intern_atom_reply_t> atom{
        xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, sizeof name - 1, name), nullptr)};
    pidAtom_ = atom ? atom->atom : 0;
}

XDisplay::~XDisplay()
{
    xcb_disconnect(connection_);
}

std::uint32_t XDisplay::ViewableWindowOf(pid_t pid)
{
    Reply<xcb_query_tree_reply_t> tree{xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr)};
    if (!tree) {
        return 0;
    }
    const xcb_window_t* children = xcb_query_tree_children(tree.reply);
    for (int i = 0; i < xcb_query_tree_children_length(tree.reply); ++i) {
        Reply<xcb_get_window_attributes_reply_t> attributes{
            xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, children[i]), nullptr)};
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE) {
            continue;
        }
        Reply<xcb_get_property_reply_t> property{xcb_get_property_reply(
            connection_, xcb_get_property(connection_, 0, children[i], pidAtom_, XCB_ATOM_CARDINAL, 0, 1), nullptr)};
        if (property && xcb_get_property_value_length(property.reply) == 4) {
            std::uint32_t owner = 0;
            std::memcpy(&owner, xcb_get_property_value(property.reply), sizeof owner);
            if (owner == static_cast<std::uint32_t>(pid)) {
                return children[i];
            }
        }
    }
    return 0;
}

std::optional<RootPoint> XDisplay::Origin(std::uint32_t window)
{
    Reply<xcb_translate_coordinates_reply_t> place{xcb_translate_coordinates_reply(
        connection_, xcb_translate_coordinates(connection_, window, root_, 0, 0), nullptr)};
    if (!place) {
        return std::nullopt;
    }
    return RootPoint{place->dst_x, place->dst_y};
}

std::uint8_t XDisplay::KeycodeOf(std::uint32_t keysym)
{
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    Reply<xcb_get_keyboard_mapping_reply_t> mapping{xcb_get_keyboard_mapping_reply(
        connection_, xcb_get_keyboard_mapping(connection_, setup->min_keycode, static_cast<std::uint8_t>(count)),
        nullptr)};
    if (!mapping || mapping->keysyms_per_keycode == 0) {
        return 0;
    }
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(mapping.reply);
    for (int code = 0; code < count; ++code) {
        if (keysyms[code * mapping->keysyms_per_keycode] == keysym) {
            return static_cast<std::uint8_t>(setup->min_keycode + code);
        }
    }
    return 0;
}

bool XDisplay::HasXTest()
{
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection_, &xtestExtension);
    return extension != nullptr && extension->present;
}

void XDisplay::MovePointer(RootPoint point)
{
    FakeInput(XCB_MOTION_NOTIFY, 0, point);
}

void XDisplay::Button(int button, bool press)
{
    FakeInput(press ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, static_cast<std::uint8_t>(button), {0, 0});
}

void XDisplay::Key(std::uint8_t keycode, bool press)
{
    FakeInput(press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keycode, {0, 0});
}

void XDisplay::Sync()
{
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

void XDisplay::FakeInput(std::uint8_t type, std::uint8_t detail, RootPoint point)
{
    FakeInputRequest request{};
    request.type = type;
    request.detail = detail;
    request.root = root_;
    request.rootX = static_cast<std::int16_t>(point.x);
    request.rootY = static_cast<std::int16_t>(point.y);
    // xcb_send_request writes its own header into the two slots before the parts it is given.
    iovec parts[4];
    parts[2].iov_base = &request;
    parts[2].iov_len = sizeof request;
    parts[3].iov_base = nullptr;
    parts[3].iov_len = 0;
    const xcb_protocol_request_t protocol{2, &xtestExtension, kFakeInputOpcode, 1};
    xcb_send_request(connection_, 0, parts + 2, &protocol);
    xcb_flush(connection_);
}
