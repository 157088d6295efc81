#!/bin/bash
# The global shortcut through the desktop portal on real Wayland desktops, end to end: the key
# pressed through the compositor must empty the Trash of a scratch home.
#
#   portal-shortcut.sh gnome terminal   GNOME Shell: started from a terminal; the "Add Keyboard
#                                       Shortcuts" dialog answered with Add by a click; key; then a
#                                       second start, which must need no dialog; key again
#   portal-shortcut.sh gnome desktop    the same, started as the desktop starts applications (in an
#                                       app-gnome-com.tolvik.Rubbly-N.scope)
#   portal-shortcut.sh plasma           kwin_wayland --virtual with xdg-desktop-portal-kde; key
#                                       through KWin's fake input (kwin_fake_input.py); the setting
#                                       switched off and on; key again
#
# Run it as root inside a Debian 13 root that has the hosts, the portals and a built tree, e.g.
#   ../shared/distros/chroot.sh run ROOT . 'cd /root/src && tests/hosts/portal-shortcut.sh gnome terminal'
# RUBBLY (default build/dev/bin/rubbly) and HOSTS (default /root/shared/hosts) choose the program and
# the host scripts. Screenshots and logs go to OUT (default /root/portal-shots). Everything runs in a
# private mount namespace, against private buses and homes under /tmp; nothing outlives the run.
set -u
desktop=${1:?gnome or plasma}
launch=${2:-terminal}
RUBBLY=$(readlink -f "${RUBBLY:-build/dev/bin/rubbly}")
HOSTS=${HOSTS:-/root/shared/hosts}
OUT=${OUT:-/root/portal-shots}
APP_ID=com.tolvik.Rubbly
DESKTOP_FILE=${DESKTOP_FILE:-$(dirname "$0")/../../resources/$APP_ID.desktop}
mkdir -p "$OUT"

# Mounts (the imitated launcher's unit) stay in a namespace of their own (inside chroot.sh's private one).
if [ -z "${PORTAL_SHORTCUT_NS:-}" ]; then
    PORTAL_SHORTCUT_NS=1 exec unshare -m --propagation unchanged -- "$0" "$@"
fi

fail() {
    echo "FAIL: $*" >&2
    [ -n "${SNIHOST_STATE:-}" ] && cp "$SNIHOST_STATE"/*.log "$OUT/" 2>/dev/null
    exit 1
}
say() { echo "== $*"; }

# A scratch home with one trashed file and the shortcut switched on; confirmation off, so the key
# empties at once as it does on X11.
scratch_home() {
    local h; h=$(mktemp -d /tmp/portal-shortcut.XXXXXX)
    mkdir -p "$h/.local/share/Trash/files" "$h/.local/share/Trash/info" "$h/.config/rubbly"
    echo junk >"$h/.local/share/Trash/files/junk.txt"
    printf '[Trash Info]\nPath=%s/junk.txt\nDeletionDate=2026-01-01T10:00:00\n' "$h" \
        >"$h/.local/share/Trash/info/junk.txt.trashinfo"
    printf '{"Rubbly.globalShortcutEnabled": {"bool": true}, "Rubbly.confirmBeforeEmptying": {"bool": false}}\n' \
        >"$h/.config/rubbly/defaults.json"
    echo "$h"
}
refill() { echo junk >"$1/.local/share/Trash/files/junk.txt"; \
    printf '[Trash Info]\nPath=%s/junk.txt\nDeletionDate=2026-01-01T10:00:00\n' "$1" \
    >"$1/.local/share/Trash/info/junk.txt.trashinfo"; }
trash_empty() { [ -z "$(ls -A "$1/.local/share/Trash/files")" ]; }
wait_empty() { local i; for i in $(seq 1 40); do trash_empty "$1" && return 0; sleep 0.25; done; return 1; }

# Starts Rubbly in home $1: from a terminal (no unit), or in the unit a desktop launch makes.
start_rubbly() {
    local h=$1 how=$2
    local envs=(HOME="$h" XDG_CONFIG_HOME="$h/.config" XDG_DATA_HOME="$h/.local/share" XDG_CACHE_HOME="$h/.cache"
                LANG=C.UTF-8 QT_LOGGING_RULES='*.debug=false')
    if [ "$how" = desktop ]; then
        # The portal reads the caller's unit from /proc/PID/cgroup under a cgroup2 hierarchy.
        mountpoint -q /sys/fs/cgroup || mount -t cgroup2 -o ro none /sys/fs/cgroup
        local cg; cg=$(mktemp /tmp/cgroup.XXXXXX)
        echo "0::/user.slice/user-0.slice/user@0.service/app.slice/app-gnome-$APP_ID-4242.scope" >"$cg"
        env "${envs[@]}" bash -c 'mount --bind "$1" /proc/$$/cgroup && exec timeout 100 "$2"' _ "$cg" "$RUBBLY" \
            >"$OUT/rubbly-$desktop-$how.log" 2>&1 &
    else
        env "${envs[@]}" timeout 100 "$RUBBLY" >"$OUT/rubbly-$desktop-$how.log" 2>&1 &
    fi
    RUBBLY_PID=$!
}

# With SHOTS=1: the settings window of the Rubbly running in home $1, on its "Shortcut & Feedback"
# pane, photographed as $OUT/pane-DESKTOP-$2.png (GNOME: the whole screen, dialogs included). GNOME
# runs us on Wayland, where the shell knows our window; Plasma on its Xwayland, where xdotool does.
settings_window() {
    if [ "$desktop" = gnome ]; then
        host_eval "global.get_window_actors().map(a => a.meta_window).filter(w => w.get_title() === 'Rubbly Settings')
            .map(w => { const r = w.get_frame_rect(); ${1:-} return r.x + ' ' + r.y; })[0] || ''" 2>/dev/null | tr -d '"'
    else
        local id X Y WIDTH HEIGHT SCREEN WINDOW
        id=$(xdotool search --name "^Rubbly Settings$" 2>/dev/null | head -1) || return
        [ -n "$id" ] && eval "$(xdotool getwindowgeometry --shell "$id")" && echo "$X $Y $id"
    fi
}
pane_shot() {
    [ -n "${SHOTS:-}" ] || return 0
    local at i
    if [ -z "$(settings_window)" ]; then
        HOME="$1" XDG_CONFIG_HOME="$1/.config" XDG_DATA_HOME="$1/.local/share" LANG=C.UTF-8 "$RUBBLY" --settings
        for i in $(seq 1 40); do at=$(settings_window); [ -n "$at" ] && break; sleep 0.25; done
        [ -n "$at" ] || { echo "no settings window for $2" >&2; return 0; }
        set -- "$1" "$2" $at
        sleep 1
        # The sidebar's fifth row (GNOME: under Qt's own title bar).
        if [ "$desktop" = gnome ]; then host_click $(($3 + 60)) $(($4 + 181)); else
            python3 "$(dirname "$0")/kwin_fake_input.py" click $(($3 + 60)) $(($4 + 154)); fi
    fi
    sleep 1.5
    if [ "$desktop" = gnome ]; then host_shot "$OUT/pane-$desktop-$2.png"; else
        magick import -window "$(settings_window | cut -d' ' -f3)" "$OUT/pane-$desktop-$2.png"; fi
}

# Alt+Shift+BackSpace through the compositor's own keyboard.
gnome_chord() {
    _snih_helper Key 0xffe9 true && _snih_helper Key 0xffe1 true && _snih_helper Key 0xff08 true &&
    _snih_helper Key 0xff08 false && _snih_helper Key 0xffe1 false && _snih_helper Key 0xffe9 false
}

run_gnome() {
    export SNIHOST_TTL=115
    # shellcheck disable=SC1091
    source "$HOSTS/gnome_host.sh" start || fail "GNOME Shell did not start"
    for s in org.freedesktop.portal.Desktop org.freedesktop.impl.portal.desktop.gnome \
             org.freedesktop.impl.portal.desktop.gtk org.freedesktop.impl.portal.PermissionStore \
             org.gnome.Settings.GlobalShortcutsProvider; do
        cp "/usr/share/dbus-1/services/$s.service" "$SNIHOST_STATE/services/"; done
    mkdir -p "$SNIHOST_STATE/home/.local/share/applications"
    sed "s|^Exec=.*|Exec=$RUBBLY|" "$DESKTOP_FILE" >"$SNIHOST_STATE/home/.local/share/applications/$APP_ID.desktop"
    dbus-update-activation-environment WAYLAND_DISPLAY XDG_RUNTIME_DIR DISPLAY XAUTHORITY XDG_CURRENT_DESKTOP=GNOME \
        XDG_SESSION_TYPE=wayland HOME="$SNIHOST_STATE/home" XDG_CONFIG_HOME="$SNIHOST_STATE/config" \
        XDG_DATA_HOME="$SNIHOST_STATE/home/.local/share" GSETTINGS_BACKEND=keyfile
    gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus -m org.freedesktop.DBus.ReloadConfig >/dev/null
    export XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland
    # What the portal and we said to each other, for when the key does nothing.
    timeout 110 dbus-monitor --session "interface='org.freedesktop.portal.GlobalShortcuts'" \
        "interface='org.freedesktop.portal.Request'" "interface='org.freedesktop.host.portal.Registry'" \
        >"$OUT/portal-messages.txt" 2>&1 &

    local h; h=$(scratch_home)
    start_rubbly "$h" "$launch"
    # GNOME's dialog takes a few seconds on a busy machine: wait until its blue Add button shows.
    local i blue=0
    for i in $(seq 1 30); do
        host_shot "$OUT/gnome-$launch-dialog.png"
        blue=$({ command -v magick >/dev/null && magick "$OUT/gnome-$launch-dialog.png" -format '%[fx:int(255*p{839,336}.b)]' info:; } 2>/dev/null)
        [ "${blue:-0}" -gt 200 ] && break
        sleep 1
    done
    pane_shot "$h" "$launch-waiting"
    [ -n "${SHOTS:-}" ] && settings_window "w.move_frame(true, 0, 40);" >/dev/null # clear of the Add button
    say "clicking Add (blue $blue)"
    host_click 839 336
    sleep 2
    host_shot "$OUT/gnome-$launch-after-add.png"
    pane_shot "$h" "$launch-bound"
    gnome_chord
    wait_empty "$h" && say "PASS first start: the key emptied the Trash" || fail "first start: the Trash still holds $(ls "$h/.local/share/Trash/files")"
    kill "$RUBBLY_PID"; wait "$RUBBLY_PID" 2>/dev/null
    refill "$h"
    start_rubbly "$h" "$launch"
    sleep 5
    host_shot "$OUT/gnome-$launch-second-start.png"
    gnome_chord
    wait_empty "$h" && say "PASS second start (no click): the key emptied the Trash" || fail "second start: the Trash still holds its file"
    kill "$RUBBLY_PID"; wait "$RUBBLY_PID" 2>/dev/null
    cp "$SNIHOST_STATE"/*.log "$OUT/" 2>/dev/null
    source "$HOSTS/gnome_host.sh" stop
}

# Alt+Shift+BackSpace (evdev 56, 42, 14) through KWin's input pipeline, as a keyboard gives it.
plasma_chord() { python3 "$(dirname "$0")/kwin_fake_input.py" key 56+42+14; }
# Our components in KWin's global-shortcut service: the application id's, or one per session token.
plasma_components() {
    gdbus call --session -d org.kde.kglobalaccel -o /kglobalaccel -m org.kde.KGlobalAccel.allComponents |
        grep -o "/component/[A-Za-z0-9_]*" | grep -i -E "tolvik|rubbly"
}
# Switches the setting as another program's save does: a new file renamed over the old one.
set_shortcut() {
    printf '{"Rubbly.globalShortcutEnabled": {"bool": %s}, "Rubbly.confirmBeforeEmptying": {"bool": false}}\n' "$2" \
        >"$1/.config/rubbly/defaults.json.new" && mv "$1/.config/rubbly/defaults.json.new" "$1/.config/rubbly/defaults.json"
}

run_plasma() {
    local state; state=$(mktemp -d /tmp/portal-kde.XXXXXX)
    mkdir -p "$state/runtime" "$state/home"; chmod 700 "$state/runtime"
    export XDG_RUNTIME_DIR="$state/runtime" XDG_CURRENT_DESKTOP=KDE XDG_SESSION_TYPE=wayland KDE_SESSION_VERSION=6 \
           KDE_FULL_SESSION=true KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 WAYLAND_DISPLAY=wayland-portal
    [ -d /tmp/.X11-unix ] || mkdir -m 1777 /tmp/.X11-unix
    timeout 110 dbus-daemon --session --nofork --print-address=3 3>"$state/bus" >/dev/null 2>&1 &
    local bus_pid=$! i
    for i in $(seq 1 50); do [ -s "$state/bus" ] && break; sleep 0.1; done
    export DBUS_SESSION_BUS_ADDRESS; DBUS_SESSION_BUS_ADDRESS=$(head -1 "$state/bus")
    timeout 100 dbus-monitor --session "interface='org.freedesktop.portal.GlobalShortcuts'" \
        "interface='org.freedesktop.portal.Request'" "interface='org.freedesktop.host.portal.Registry'" \
        >"$OUT/portal-messages.txt" 2>&1 &
    HOME="$state/home" timeout 105 kwin_wayland --virtual --xwayland --socket wayland-portal >"$OUT/kwin.log" 2>&1 &
    for i in $(seq 1 60); do [ -S "$XDG_RUNTIME_DIR/wayland-portal" ] && break; sleep 0.25; done
    # For SHOTS, we run on KWin's Xwayland, as in a Plasma session, where xdotool finds our windows
    # (there, Qt 6.8's xcb plugin has crashed in populateTouchDevices when a fake-input device came).
    local x11; for i in $(seq 1 40); do [ -n "${SHOTS:-}" ] || break
        x11=$(ls /tmp/.X11-unix 2>/dev/null | head -1); [ -n "$x11" ] && break; sleep 0.25; done
    [ -n "${x11:-}" ] && export DISPLAY=":${x11#X}" XAUTHORITY; XAUTHORITY=$(ls "$XDG_RUNTIME_DIR"/xauth_* 2>/dev/null | head -1)
    dbus-update-activation-environment WAYLAND_DISPLAY XDG_RUNTIME_DIR XDG_CURRENT_DESKTOP XDG_SESSION_TYPE \
        KDE_SESSION_VERSION ${DISPLAY:+DISPLAY} HOME="$state/home"
    local h; h=$(scratch_home)
    start_rubbly "$h" terminal
    for i in $(seq 1 40); do [ -n "$(plasma_components)" ] && break; sleep 0.25; done
    sleep 1 # the component comes before its key
    say "component $(plasma_components)"
    plasma_chord || fail "Plasma: KWin took no fake input"
    wait_empty "$h" && say "PASS Plasma: the key pressed through KWin emptied the Trash" ||
        fail "Plasma: the Trash still holds $(ls "$h/.local/share/Trash/files")"
    pane_shot "$h" bound

    # Off and on in one run: the old session's key must not stay behind, bound to nobody, nor keep
    # the new session from having it. The refill comes first, so the Trash's watch has seen it.
    refill "$h"
    set_shortcut "$h" false; sleep 2
    set_shortcut "$h" true; sleep 3
    plasma_chord
    gdbus call --session -d org.kde.kglobalaccel -o /kglobalaccel -m org.kde.KGlobalAccel.allComponents >"$OUT/components.txt" 2>&1
    local c; for c in $(plasma_components); do
        gdbus call --session -d org.kde.kglobalaccel -o "$c" -m org.kde.kglobalaccel.Component.allShortcutInfos >>"$OUT/components.txt" 2>&1
    done
    wait_empty "$h" && say "PASS Plasma, switched off and on: the key emptied the Trash" ||
        fail "Plasma, switched off and on: the Trash still holds its file"
    [ "$(plasma_components | wc -l)" -eq 1 ] && say "PASS Plasma: one component, $(plasma_components)" ||
        fail "Plasma: components $(plasma_components | tr '\n' ' ')"
    kill "$RUBBLY_PID" "$bus_pid" 2>/dev/null
}

case "$desktop" in
gnome) run_gnome ;;
plasma) run_plasma ;;
*) fail "unknown desktop $desktop" ;;
esac
