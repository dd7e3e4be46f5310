// A launcher as a Wayland compositor sees one: a window that takes the keyboard focus and,
// as a user's key press in it would, asks for an xdg-activation token with that focus (its
// surface and the serial of the focus event). Prints the token, then keeps the window open
// until it is stopped. libwayland-client is loaded when it runs, so that the build needs
// none of its development files (the test that uses this installs it with Qt's Wayland
// plugin); the few xdg-shell and xdg-activation messages used are described here.
#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// How libwayland-client describes an interface (wayland-util.h; unchanged since 1.0).
struct wl_interface;
struct wl_message {
    const char *name;
    const char *signature;
    const wl_interface **types;
};
struct wl_interface {
    const char *name;
    int version;
    int method_count;
    const wl_message *methods;
    int event_count;
    const wl_message *events;
};
struct wl_proxy;

// The messages of version 1 up to the last one used; a request's new object is typed by
// its interface in the call, so only the types the debug log prints are given.
const wl_message none[] = {{"", "", nullptr}};
extern const wl_interface xdgSurface, xdgToplevel, tokenInterface;
const wl_interface *xdgSurfaceType[] = {&xdgSurface, nullptr};
const wl_interface *xdgToplevelType[] = {&xdgToplevel};
const wl_interface *tokenType[] = {&tokenInterface};
const wl_message wmBaseRequests[] = {{"destroy", "", nullptr},
                                     {"create_positioner", "n", nullptr},
                                     {"get_xdg_surface", "no", xdgSurfaceType},
                                     {"pong", "u", nullptr}};
const wl_message wmBaseEvents[] = {{"ping", "u", nullptr}};
const wl_interface xdgWmBase = {"xdg_wm_base", 1, 4, wmBaseRequests, 1, wmBaseEvents};
const wl_message xdgSurfaceRequests[] = {{"destroy", "", nullptr},
                                         {"get_toplevel", "n", xdgToplevelType},
                                         {"get_popup", "n?oo", nullptr},
                                         {"set_window_geometry", "iiii", nullptr},
                                         {"ack_configure", "u", nullptr}};
const wl_message xdgSurfaceEvents[] = {{"configure", "u", nullptr}};
const wl_interface xdgSurface = {"xdg_surface", 1, 5, xdgSurfaceRequests, 1, xdgSurfaceEvents};
const wl_message toplevelEvents[] = {{"configure", "iia", nullptr}, {"close", "", nullptr}};
const wl_interface xdgToplevel = {"xdg_toplevel", 1, 0, none, 2, toplevelEvents};
const wl_message tokenRequests[] = {{"set_serial", "uo", nullptr},
                                    {"set_app_id", "s", nullptr},
                                    {"set_surface", "o", nullptr},
                                    {"commit", "", nullptr}};
const wl_message tokenEvents[] = {{"done", "s", nullptr}};
const wl_interface tokenInterface = {"xdg_activation_token_v1", 1, 4, tokenRequests, 1, tokenEvents};
const wl_message activationRequests[] = {{"destroy", "", nullptr},
                                         {"get_activation_token", "n", tokenType}};
const wl_interface activation = {"xdg_activation_v1", 1, 2, activationRequests, 0, nullptr};

// Request numbers, in the order of each interface's requests.
enum {
    displayGetRegistry = 1, registryBind = 0, compositorCreateSurface = 0, shmCreatePool = 0,
    poolCreateBuffer = 0, seatGetKeyboard = 1, surfaceAttach = 1, surfaceCommit = 6,
    wmBaseGetXdgSurface = 2, wmBasePong = 3, xdgSurfaceGetToplevel = 1,
    xdgSurfaceAckConfigure = 4, activationGetToken = 1, tokenSetSerial = 0,
    tokenSetSurface = 2, tokenCommit = 3,
};

wl_proxy *(*marshalConstructor)(wl_proxy *, uint32_t, const wl_interface *, ...);
void (*marshal)(wl_proxy *, uint32_t, ...);
int (*addListener)(wl_proxy *, const void *, void *);
int (*dispatch)(wl_proxy *);

// What the compositor offers and sends, by name of its interface.
struct Global {
    const char *name;
    const wl_interface *interface;
    wl_proxy *bound;
};
Global globals[] = {{"wl_compositor", nullptr, nullptr}, {"wl_shm", nullptr, nullptr},
                    {"wl_seat", nullptr, nullptr},       {"xdg_wm_base", &xdgWmBase, nullptr},
                    {"xdg_activation_v1", &activation, nullptr}};
enum { compositor, shm, seat, wmBase, activationGlobal };
uint32_t configureSerial = 0, focusSerial = 0;
wl_proxy *surface = nullptr;
std::string token;

// Each event's handler, in the order of the interface's events.
struct RegistryListener {
    void (*global)(void *, wl_proxy *, uint32_t, const char *, uint32_t);
    void (*globalRemove)(void *, wl_proxy *, uint32_t);
};
const RegistryListener registryListener = {
    [](void *, wl_proxy *registry, uint32_t name, const char *interface, uint32_t) {
        for (Global &global : globals) {
            if (std::strcmp(interface, global.name) == 0)
                global.bound = marshalConstructor(registry, registryBind, global.interface, name,
                                                  interface, 1u, nullptr);
        }
    },
    [](void *, wl_proxy *, uint32_t) {}};
struct SerialListener { // xdg_wm_base's ping, xdg_surface's configure
    void (*event)(void *, wl_proxy *, uint32_t);
};
const SerialListener pingListener = {
    [](void *, wl_proxy *base, uint32_t serial) { marshal(base, wmBasePong, serial); }};
const SerialListener configureListener = {
    [](void *, wl_proxy *, uint32_t serial) { configureSerial = serial; }};
struct KeyboardListener {
    void (*keymap)(void *, wl_proxy *, uint32_t, int, uint32_t);
    void (*enter)(void *, wl_proxy *, uint32_t, wl_proxy *, void *);
    void (*leave)(void *, wl_proxy *, uint32_t, wl_proxy *);
    void (*key)(void *, wl_proxy *, uint32_t, uint32_t, uint32_t, uint32_t);
    void (*modifiers)(void *, wl_proxy *, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t);
};
const KeyboardListener keyboardListener = {
    [](void *, wl_proxy *, uint32_t, int fd, uint32_t) { close(fd); },
    [](void *, wl_proxy *, uint32_t serial, wl_proxy *entered, void *) {
        if (entered == surface)
            focusSerial = serial;
    },
    [](void *, wl_proxy *, uint32_t, wl_proxy *) {},
    [](void *, wl_proxy *, uint32_t, uint32_t, uint32_t, uint32_t) {},
    [](void *, wl_proxy *, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}};
struct TokenListener {
    void (*done)(void *, wl_proxy *, const char *);
};
const TokenListener tokenListener = {[](void *, wl_proxy *, const char *issued) { token = issued; }};

template <typename T> void resolve(void *library, T &function, const char *name)
{
    function = reinterpret_cast<T>(dlsym(library, name));
}

int fail(const char *why)
{
    std::fprintf(stderr, "launcher: %s\n", why);
    return 1;
}

} // namespace

int main()
{
    void *library = dlopen("libwayland-client.so.0", RTLD_NOW);
    if (!library)
        return fail(dlerror());
    wl_proxy *(*connect)(const char *);
    int (*roundtrip)(wl_proxy *);
    resolve(library, connect, "wl_display_connect");
    resolve(library, roundtrip, "wl_display_roundtrip");
    resolve(library, dispatch, "wl_display_dispatch");
    resolve(library, marshalConstructor, "wl_proxy_marshal_constructor");
    resolve(library, marshal, "wl_proxy_marshal");
    resolve(library, addListener, "wl_proxy_add_listener");
    const auto interface = [library](const char *name) {
        return static_cast<const wl_interface *>(dlsym(library, name));
    };
    globals[compositor].interface = interface("wl_compositor_interface");
    globals[shm].interface = interface("wl_shm_interface");
    globals[seat].interface = interface("wl_seat_interface");

    wl_proxy *display = connect(nullptr);
    if (!display)
        return fail("cannot connect to the Wayland display");
    wl_proxy *registry =
        marshalConstructor(display, displayGetRegistry, interface("wl_registry_interface"), nullptr);
    addListener(registry, &registryListener, nullptr);
    roundtrip(display);
    for (const Global &global : globals) {
        if (!global.bound)
            return fail(global.name);
    }
    addListener(globals[wmBase].bound, &pingListener, nullptr);
    wl_proxy *keyboard = marshalConstructor(globals[seat].bound, seatGetKeyboard,
                                            interface("wl_keyboard_interface"), nullptr);
    addListener(keyboard, &keyboardListener, nullptr);

    // A window shows once its first configure is acknowledged and a buffer is attached.
    surface = marshalConstructor(globals[compositor].bound, compositorCreateSurface,
                                 interface("wl_surface_interface"), nullptr);
    wl_proxy *shellSurface = marshalConstructor(globals[wmBase].bound, wmBaseGetXdgSurface,
                                                &xdgSurface, nullptr, surface);
    addListener(shellSurface, &configureListener, nullptr);
    marshalConstructor(shellSurface, xdgSurfaceGetToplevel, &xdgToplevel, nullptr);
    marshal(surface, surfaceCommit);
    while (!configureSerial && dispatch(display) != -1) {
    }
    marshal(shellSurface, xdgSurfaceAckConfigure, configureSerial);
    const int width = 64, height = 64, size = width * height * 4;
    const int fd = memfd_create("launcher", 0);
    if (fd < 0 || ftruncate(fd, size) != 0)
        return fail("no memory for the window");
    wl_proxy *pool = marshalConstructor(globals[shm].bound, shmCreatePool,
                                        interface("wl_shm_pool_interface"), nullptr, fd, size);
    wl_proxy *buffer = marshalConstructor(pool, poolCreateBuffer, interface("wl_buffer_interface"),
                                          nullptr, 0, width, height, width * 4, 1u /* xrgb8888 */);
    marshal(surface, surfaceAttach, buffer, 0, 0);
    marshal(surface, surfaceCommit);
    while (!focusSerial && dispatch(display) != -1) {
    }
    if (!focusSerial)
        return fail("the window never got the keyboard focus");

    wl_proxy *request =
        marshalConstructor(globals[activationGlobal].bound, activationGetToken, &tokenInterface, nullptr);
    addListener(request, &tokenListener, nullptr);
    marshal(request, tokenSetSerial, focusSerial, globals[seat].bound);
    marshal(request, tokenSetSurface, surface);
    marshal(request, tokenCommit);
    while (token.empty() && dispatch(display) != -1) {
    }
    if (token.empty())
        return fail("the compositor sent no token");
    std::printf("%s\n", token.c_str());
    std::fflush(stdout);
    while (dispatch(display) != -1) {
    }
    return 0;
}
