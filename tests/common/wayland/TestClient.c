// A Wayland client of the tests' own that does what a desktop does around the program:
//   wayland-test-client token
//       asks the compositor for an xdg-activation token, as a launcher does before it starts
//       a program, and prints it (the tests hand it over in XDG_ACTIVATION_TOKEN);
//   wayland-test-client click X Y WIDTH HEIGHT
//       moves a virtual pointer to X, Y of a WIDTH x HEIGHT layout and presses and releases
//       its left button there, for compositors without input devices (headless).
// Exit code 1 when the compositor is not there or does not offer what is asked.
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "xdg-activation-v1-client-protocol.h"

#include <linux/input-event-codes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wayland-client.h>

struct globals {
    struct xdg_activation_v1* activation;
    struct zwlr_virtual_pointer_manager_v1* pointers;
};

static void global(void* data, struct wl_registry* registry, uint32_t name,
                   const char* interface, uint32_t version) {
    (void)version;
    struct globals* g = data;
    if (strcmp(interface, xdg_activation_v1_interface.name) == 0)
        g->activation = wl_registry_bind(registry, name, &xdg_activation_v1_interface, 1);
    else if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        g->pointers =
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
}

static void global_remove(void* data, struct wl_registry* registry, uint32_t name) {
    (void)data;
    (void)registry;
    (void)name;
}

struct token_state {
    char text[512];
    int done;
};

static void token_done(void* data, struct xdg_activation_token_v1* token, const char* text) {
    (void)token;
    struct token_state* s = data;
    snprintf(s->text, sizeof s->text, "%s", text);
    s->done = 1;
}

static int print_token(struct wl_display* display, struct xdg_activation_v1* activation) {
    static const struct xdg_activation_token_v1_listener listener = {token_done};
    struct token_state s = {{0}, 0};
    struct xdg_activation_token_v1* token = xdg_activation_v1_get_activation_token(activation);
    xdg_activation_token_v1_add_listener(token, &listener, &s);
    xdg_activation_token_v1_commit(token);
    while (!s.done && wl_display_dispatch(display) != -1) {
    }
    xdg_activation_token_v1_destroy(token);
    if (!s.done)
        return 1;
    puts(s.text);
    return 0;
}

static uint32_t now_ms(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (uint32_t)(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

static void pause_ms(long ms) {
    const struct timespec t = {ms / 1000, (ms % 1000) * 1000000};
    nanosleep(&t, NULL);
}

static int click(struct wl_display* display, struct zwlr_virtual_pointer_manager_v1* pointers,
                 uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
    struct zwlr_virtual_pointer_v1* pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(pointers, NULL);
    wl_display_roundtrip(display);
    // The new device gives the seat a pointer; clients bind theirs when they hear of it.
    pause_ms(300);
    zwlr_virtual_pointer_v1_motion_absolute(pointer, now_ms(), x, y, width, height);
    zwlr_virtual_pointer_v1_frame(pointer);
    wl_display_roundtrip(display);
    pause_ms(100);
    zwlr_virtual_pointer_v1_button(pointer, now_ms(), BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
    zwlr_virtual_pointer_v1_frame(pointer);
    wl_display_roundtrip(display);
    pause_ms(50);
    zwlr_virtual_pointer_v1_button(pointer, now_ms(), BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(pointer);
    wl_display_roundtrip(display);
    pause_ms(100);
    zwlr_virtual_pointer_v1_destroy(pointer);
    return wl_display_roundtrip(display) < 0;
}

int main(int argc, char** argv) {
    const int token = argc == 2 && strcmp(argv[1], "token") == 0;
    const int clicking = argc == 6 && strcmp(argv[1], "click") == 0;
    if (!token && !clicking) {
        fputs("usage: wayland-test-client token | click X Y WIDTH HEIGHT\n", stderr);
        return 2;
    }
    struct wl_display* display = wl_display_connect(NULL);
    if (!display) {
        fputs("no Wayland display\n", stderr);
        return 1;
    }
    struct globals g = {NULL, NULL};
    static const struct wl_registry_listener listener = {global, global_remove};
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, &g);
    wl_display_roundtrip(display);
    int result = 1;
    if (token && g.activation)
        result = print_token(display, g.activation);
    else if (clicking && g.pointers)
        result = click(display, g.pointers, (uint32_t)strtoul(argv[2], NULL, 10),
                       (uint32_t)strtoul(argv[3], NULL, 10), (uint32_t)strtoul(argv[4], NULL, 10),
                       (uint32_t)strtoul(argv[5], NULL, 10));
    else
        fputs("the compositor does not offer what was asked\n", stderr);
    if (g.activation)
        xdg_activation_v1_destroy(g.activation);
    if (g.pointers)
        zwlr_virtual_pointer_manager_v1_destroy(g.pointers);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return result;
}
