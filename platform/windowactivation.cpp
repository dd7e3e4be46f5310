#include "platform/windowactivation.h"

#include <QGuiApplication>
#include <QWidget>

#if defined(TAVORIN_HAVE_XCB) && QT_CONFIG(xcb)
#define TAVORIN_X11_ACTIVATION
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#endif

namespace {

#ifdef TAVORIN_X11_ACTIVATION

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, false, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// The X server time of the user's request, which the launcher puts at the end of the id
// after "_TIME"; 0 when it is not there.
xcb_timestamp_t requestTime(const QByteArray &startupId)
{
    const qsizetype at = startupId.lastIndexOf("_TIME");
    bool ok = false;
    const uint time = at < 0 ? 0 : startupId.mid(at + 5).toUInt(&ok);
    return ok ? time : 0;
}

// A value in a startup notification message: in double quotes, with a backslash before
// each quote and backslash, where it holds a blank, a quote or a backslash.
QByteArray messageValue(QByteArray value)
{
    if (!value.contains(' ') && !value.contains('"') && !value.contains('\\'))
        return value;
    return '"' + value.replace('\\', "\\\\").replace('"', "\\\"") + '"';
}

// A startup notification message goes to every client of the screen as 20-byte pieces of
// the string and its closing zero byte, sent from a window of its own that names it.
void sendStartupMessage(xcb_connection_t *connection, xcb_window_t root, const QByteArray &message)
{
    const xcb_window_t sender = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, sender, root, -1, -1, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t first = internAtom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t next = internAtom(connection, "_NET_STARTUP_INFO");
    const QByteArray bytes = message + '\0';
    for (qsizetype at = 0; at < bytes.size(); at += 20) {
        xcb_client_message_event_t event = {};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = sender;
        event.type = at == 0 ? first : next;
        std::memcpy(event.data.data8, bytes.constData() + at,
                    std::min<qsizetype>(20, bytes.size() - at));
        xcb_send_event(connection, false, root, XCB_EVENT_MASK_PROPERTY_CHANGE,
                       reinterpret_cast<const char *>(&event));
    }
    xcb_destroy_window(connection, sender);
}

// Qt's own activation carries the time of the last X event the program saw, older than
// the user's request; the window manager is asked with the request's time instead. The
// launch the id stands for is then over.
bool activateOnX11(QWidget *window, const QByteArray &startupId)
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return false;
    xcb_connection_t *connection = x11->connection();
    const auto id = xcb_window_t(window->winId());
    xcb_get_geometry_reply_t *geometry =
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr);
    if (!geometry)
        return false;
    const xcb_window_t root = geometry->root;
    std::free(geometry);

    // Which launch the window answers, for the window manager.
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id,
                        internAtom(connection, "_NET_STARTUP_ID"),
                        internAtom(connection, "UTF8_STRING"), 8, uint32_t(startupId.size()),
                        startupId.constData());
    if (const xcb_timestamp_t time = requestTime(startupId)) {
        xcb_client_message_event_t event = {};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = id;
        event.type = internAtom(connection, "_NET_ACTIVE_WINDOW");
        event.data.data32[0] = 1; // asked for by an application
        event.data.data32[1] = time;
        xcb_send_event(connection, false, root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char *>(&event));
    } else {
        window->activateWindow();
    }
    sendStartupMessage(connection, root, "remove: ID=" + messageValue(startupId));
    xcb_flush(connection);
    return true;
}

#endif

} // namespace

void WindowActivation::activate(QWidget *window, const QString &startupId,
                                const QString &activationToken)
{
    const QString platform = QGuiApplication::platformName();
#ifdef TAVORIN_X11_ACTIVATION
    if (platform == QLatin1String("xcb") && !startupId.isEmpty()
        && activateOnX11(window, startupId.toUtf8()))
        return;
#else
    Q_UNUSED(startupId);
#endif
    // Qt's Wayland plugin hands the token from the environment to the compositor with
    // the next activation, and takes it out of the environment then.
    if (platform.startsWith(QLatin1String("wayland")) && !activationToken.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", activationToken.toUtf8());
    window->activateWindow();
}
