/* A keyboard for the Wayland end-to-end tests: joins the compositor's seat as a virtual keyboard with
 * xkbcommon's default keymap and types what it reads from a FIFO, one command a line:
 *   down <evdev code>    up <evdev code>
 * It prints "ready" once the compositor has the keymap, and leaves when the FIFO's writer closes it.
 * Staying connected matters: a seat without a keyboard gives no window the keyboard focus. */
#define _GNU_SOURCE
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include "virtual-keyboard-unstable-v1-client-protocol.h"

static struct wl_seat *seat;
static struct zwp_virtual_keyboard_manager_v1 *manager;

static void global_added(void *data, struct wl_registry *registry, uint32_t name, const char *iface,
                         uint32_t version) {
    (void)data;
    (void)version;
    if (strcmp(iface, wl_seat_interface.name) == 0 && !seat)
        seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
    else if (strcmp(iface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
        manager = wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1);
}

static void global_removed(void *data, struct wl_registry *registry, uint32_t name) {
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener registry_listener = {global_added, global_removed};

static uint32_t now_ms(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (uint32_t)(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

/* The keymap goes to the compositor as a sealed memory file. */
static int upload_keymap(struct zwp_virtual_keyboard_v1 *kbd, struct xkb_keymap *keymap) {
    char *text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    if (!text) return -1;
    size_t size = strlen(text) + 1;
    int fd = memfd_create("keymap", MFD_CLOEXEC);
    int ok = fd >= 0 && write(fd, text, size) == (ssize_t)size;
    free(text);
    if (!ok) {
        if (fd >= 0) close(fd);
        return -1;
    }
    zwp_virtual_keyboard_v1_keymap(kbd, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, (uint32_t)size);
    close(fd);
    return 0;
}

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s <command fifo>\n", argv[0]);
        return 2;
    }
    struct wl_display *display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "cannot connect to the Wayland display\n");
        return 1;
    }
    struct wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, NULL);
    wl_display_roundtrip(display);
    if (!seat || !manager) {
        fprintf(stderr, "the compositor offers no seat or no virtual keyboards\n");
        return 1;
    }

    struct xkb_context *ctx = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    struct xkb_keymap *keymap =
        ctx ? xkb_keymap_new_from_names(ctx, NULL, XKB_KEYMAP_COMPILE_NO_FLAGS) : NULL;
    struct xkb_state *state = keymap ? xkb_state_new(keymap) : NULL;
    if (!state) {
        fprintf(stderr, "no default keymap from xkbcommon\n");
        return 1;
    }
    struct zwp_virtual_keyboard_v1 *kbd =
        zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager, seat);
    if (upload_keymap(kbd, keymap) != 0 || wl_display_roundtrip(display) < 0) {
        fprintf(stderr, "cannot hand the keymap to the compositor\n");
        return 1;
    }
    printf("ready\n");
    fflush(stdout);

    FILE *in = fopen(argv[1], "r");
    if (!in) {
        perror(argv[1]);
        return 1;
    }
    char line[64], what[16];
    unsigned code;
    while (fgets(line, sizeof line, in)) {
        if (sscanf(line, "%15s %u", what, &code) != 2 || code > 767) {
            fprintf(stderr, "bad command: %s", line);
            continue;
        }
        int down = strcmp(what, "down") == 0;
        if (!down && strcmp(what, "up") != 0) {
            fprintf(stderr, "bad command: %s", line);
            continue;
        }
        zwp_virtual_keyboard_v1_key(kbd, now_ms(), code,
                                    down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
        /* The modifiers follow the keys, as the compositor's own keyboards report them. */
        enum xkb_state_component changed =
            xkb_state_update_key(state, code + 8, down ? XKB_KEY_DOWN : XKB_KEY_UP);
        if (changed)
            zwp_virtual_keyboard_v1_modifiers(kbd, xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED),
                                              xkb_state_serialize_mods(state, XKB_STATE_MODS_LATCHED),
                                              xkb_state_serialize_mods(state, XKB_STATE_MODS_LOCKED),
                                              xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE));
        if (wl_display_roundtrip(display) < 0) {
            fprintf(stderr, "lost the compositor\n");
            return 1;
        }
    }
    zwp_virtual_keyboard_v1_destroy(kbd);
    wl_display_roundtrip(display);
    xkb_state_unref(state);
    xkb_keymap_unref(keymap);
    xkb_context_unref(ctx);
    wl_display_disconnect(display);
    return 0;
}
