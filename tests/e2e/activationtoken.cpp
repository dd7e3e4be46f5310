// Asks the Wayland compositor for an xdg-activation token, as a launcher does before it
// starts a program, and prints it. libwayland-client is loaded when it runs, so that the
// build needs none of its development files (the test that uses this installs the library
// with Qt's Wayland plugin).
#include <dlfcn.h>

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

// xdg-activation-v1: a token is asked for, committed, and sent back by "done".
const wl_message tokenRequests[] = {
    {"set_serial", "uo", nullptr}, {"set_app_id", "s", nullptr}, {"set_surface", "o", nullptr},
    {"commit", "", nullptr},       {"destroy", "", nullptr},
};
const wl_message tokenEvents[] = {{"done", "s", nullptr}};
const wl_interface tokenInterface = {"xdg_activation_token_v1", 1, 5, tokenRequests, 1, tokenEvents};
const wl_interface *tokenType[] = {&tokenInterface};
const wl_message activationRequests[] = {
    {"destroy", "", nullptr}, {"get_activation_token", "n", tokenType}, {"activate", "so", nullptr}};
const wl_interface activationInterface = {"xdg_activation_v1", 1, 3, activationRequests, 0, nullptr};
enum { displayGetRegistry = 1, registryBind = 0, getActivationToken = 1, tokenCommit = 3 };

// The functions used, looked up in the library.
wl_proxy *(*marshalConstructor)(wl_proxy *, uint32_t, const wl_interface *, ...);
void (*marshal)(wl_proxy *, uint32_t, ...);
int (*addListener)(wl_proxy *, const void *, void *);

template <typename T> void resolve(void *library, T &function, const char *name)
{
    function = reinterpret_cast<T>(dlsym(library, name));
}

wl_proxy *activation = nullptr;
std::string token;

struct RegistryListener {
    void (*global)(void *, wl_proxy *, uint32_t, const char *, uint32_t);
    void (*globalRemove)(void *, wl_proxy *, uint32_t);
};
const RegistryListener registryListener = {
    [](void *, wl_proxy *registry, uint32_t name, const char *interface, uint32_t) {
        if (std::strcmp(interface, activationInterface.name) == 0)
            activation = marshalConstructor(registry, registryBind, &activationInterface, name,
                                            interface, 1u, nullptr);
    },
    [](void *, wl_proxy *, uint32_t) {}};
struct TokenListener {
    void (*done)(void *, wl_proxy *, const char *);
};
const TokenListener tokenListener = {[](void *, wl_proxy *, const char *issued) { token = issued; }};

int fail(const char *why)
{
    std::fprintf(stderr, "activationtoken: %s\n", why);
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
    int (*dispatch)(wl_proxy *);
    resolve(library, connect, "wl_display_connect");
    resolve(library, roundtrip, "wl_display_roundtrip");
    resolve(library, dispatch, "wl_display_dispatch");
    resolve(library, marshalConstructor, "wl_proxy_marshal_constructor");
    resolve(library, marshal, "wl_proxy_marshal");
    resolve(library, addListener, "wl_proxy_add_listener");
    const auto *registryInterface =
        static_cast<const wl_interface *>(dlsym(library, "wl_registry_interface"));

    wl_proxy *display = connect(nullptr);
    if (!display)
        return fail("cannot connect to the Wayland display");
    wl_proxy *registry = marshalConstructor(display, displayGetRegistry, registryInterface, nullptr);
    addListener(registry, &registryListener, nullptr);
    roundtrip(display);
    if (!activation)
        return fail("the compositor offers no xdg_activation_v1");

    wl_proxy *request = marshalConstructor(activation, getActivationToken, &tokenInterface, nullptr);
    addListener(request, &tokenListener, nullptr);
    marshal(request, tokenCommit);
    while (token.empty() && dispatch(display) != -1) {
    }
    if (token.empty())
        return fail("the compositor sent no token");
    std::printf("%s\n", token.c_str());
    return 0;
}
