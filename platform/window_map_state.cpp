#include "platform/window_map_state.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QRect>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {
// The X connection, when the window has an X window of its own.
xcb_connection_t* X11Connection(const QWidget& window) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    return c && window.testAttribute(Qt::WA_WState_Created) ? c : nullptr;
}
}  // namespace

void placeBeforeMapping(QWidget& window, const QRect& client) {
    xcb_connection_t* c = X11Connection(window);
    if (!c || !window.isHidden()) return;
    const uint32_t values[] = {static_cast<uint32_t>(client.x()), static_cast<uint32_t>(client.y()),
                               static_cast<uint32_t>(client.width()),
                               static_cast<uint32_t>(client.height())};
    xcb_configure_window(c, static_cast<xcb_window_t>(window.winId()),
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                             XCB_CONFIG_WINDOW_HEIGHT,
                         values);
    xcb_flush(c);
}

void mapNormallyWhenShown(QWidget& window) {
    xcb_connection_t* c = X11Connection(window);
    if (!c) return;
    const auto id = static_cast<xcb_window_t>(window.winId());
    // WM_HINTS is nine 32-bit fields: flags, input, initial_state, then the icon and group ones.
    constexpr uint32_t kStateHint = 1u << 1;
    constexpr uint32_t kNormalState = 1;
    uint32_t hints[9] = {};
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, 9), nullptr);
    if (reply && reply->format == 32) {
        const int n = xcb_get_property_value_length(reply);
        std::memcpy(hints, xcb_get_property_value(reply),
                    static_cast<size_t>(std::min(n, static_cast<int>(sizeof hints))));
    }
    std::free(reply);
    hints[0] |= kStateHint;
    hints[2] = kNormalState;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, 9,
                        hints);
    xcb_flush(c);
}
