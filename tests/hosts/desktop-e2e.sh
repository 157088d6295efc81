#!/bin/bash
# The tray end to end on a real desktop host, as a person would use it: the item registers (and on
# GNOME shows the size in the bar), the panel opens from a click, from the menu's "Open Panel" and
# "Empty Trash…" and from `rubbly --toggle-panel`, each time flush against the bar at the item; the
# Trash is emptied from the panel; the settings open from the menu; a file dragged at human speed
# from another window is dropped on the panel. Screenshots of every step go to $OUT.
#
#   tests/hosts/desktop-e2e.sh kde|xfce|gnome [OUT]
#
# Knobs: STEPS (a comma-separated subset of label,menu,toggle,click,drop,settings,empty; default all:
# a host lives 110 s and takes 40 to 75 s of it to start on a busy machine, so run the steps in
# groups there: STEPS=label (GNOME), menu,toggle, click,drop and settings,empty (Plasma 6 in a
# root at a load of 25: menu, toggle,settings, click,drop and empty); toggle counts as placed at
# the item only after menu or click), RUBBLY (the program; default build/dev/bin/rubbly,
# else `rubbly` on PATH), DRAG_SOURCE
# (default build/dev/tests/drag-source), HOSTS (the host scripts; default shared/hosts beside the
# checkout or one level up, else /root/shared/hosts), SNIHOST_PANEL_EDGE (kde: top | bottom), SNIHOST_SCREEN,
# SCREENS (kde, xfce: 2 gives two 1280×800 screens side by side, the right one primary; needs Xvnc;
# Plasma puts its bar and tray on the primary one, xfce4-panel on the first output, the left one).
# Everything runs against a private display and bus with HOME and XDG_* in a scratch folder.
# Exit status: the number of failed checks.
#
# In a Debian 13 root (Plasma 6, GNOME 48), from the checkout, after `chroot.sh make` as in the
# hosts' README and a build in the root (`cmake --preset dev && cmake --build build/dev --target
# rubbly rubbly-tray drag-source`):
#   ../shared/distros/chroot.sh run ROOT . 'cd /root/src && tests/hosts/desktop-e2e.sh kde /root/shots'

host=${1:?usage: desktop-e2e.sh kde|xfce|gnome [OUT]}
OUT=$(readlink -f "${2:-/tmp/rubbly-e2e-$host}")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
RUBBLY=${RUBBLY:-$here/build/dev/bin/rubbly}
[ -x "$RUBBLY" ] || RUBBLY=$(command -v rubbly)
DRAG_SOURCE=${DRAG_SOURCE:-$here/build/dev/tests/drag-source}
if [ -z "${HOSTS:-}" ]; then
    for HOSTS in "$here/../shared/hosts" "$here/../../shared/hosts" /root/shared/hosts; do
        [ -d "$HOSTS" ] && break
    done
fi
mkdir -p "$OUT"
failures=0
STEPS=",${STEPS:-label,menu,toggle,click,drop,settings,empty},"
want() { [[ $STEPS == *",$1,"* ]]; }
check() { # NAME CONDITION-STATUS MESSAGE
    if [ "$2" = 0 ]; then echo "ok   $1 $3"; else echo "FAIL $1 $3"; failures=$((failures + 1)); fi
}

scratch=$(mktemp -d /tmp/rubbly-e2e.XXXXXX)
export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data \
    XDG_CACHE_HOME=$scratch/cache XDG_STATE_HOME=$scratch/state LANG=C.UTF-8 LANGUAGE=en
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME"
case $host in
kde) export XDG_CURRENT_DESKTOP=KDE KDE_FULL_SESSION=true KDE_SESSION_VERSION=$(plasmashell --version 2>/dev/null | grep -o ' [0-9]*' | head -1 | tr -d ' ') ;;
xfce) export XDG_CURRENT_DESKTOP=XFCE ;;
gnome) export XDG_CURRENT_DESKTOP=GNOME ;;
*) echo "unknown host $host" >&2; exit 2 ;;
esac

SCREENS=${SCREENS:-1}
if [ "$SCREENS" = 2 ]; then
    # Two real RandR outputs side by side. Xvfb has only one output, and a framebuffer cut into
    # RandR 1.5 monitors is seen by Qt 6 and GNOME but not by Plasma 5 (Qt 5.15 reads outputs and
    # CRTCs only). TigerVNC's X server makes an output per screen a VNC client asks for, so the
    # host runs "Xvfb" from PATH, this stand-in, which asks it for two 1280×800 screens before the
    # desktop starts and makes the right one primary: the desktop puts its bar and tray there.
    command -v Xvnc >/dev/null || { echo "SCREENS=2 needs Xvnc (tigervnc-standalone-server)" >&2; exit 2; }
    export SNIHOST_SCREEN=2560x800x24
    mkdir -p "$scratch/bin"
    cat >"$scratch/bin/Xvfb" <<'XVFB'
#!/bin/bash
# Xvfb :N -screen 0 WxHxD ... -> Xvnc on :N, its VNC port on the loopback only
disp=$1 port=$((5900 + ${1#:} + 100))
(
    for _ in $(seq 100); do xdpyinfo -display "$disp" >/dev/null 2>&1 && break; sleep 0.05; done
    /usr/bin/python3 - "$port" <<'RFB'
import socket, struct, sys, time
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=10)
def take(n):
    b = b""
    while len(b) < n:
        c = s.recv(n - len(b))
        if not c: sys.exit("the VNC server closed the connection")
        b += c
    return b
take(12); s.sendall(b"RFB 003.008\n")                  # protocol 3.8
take(take(1)[0]); s.sendall(b"\x01")                   # security: none
take(4); s.sendall(b"\x01")                            # shared session
take(20); take(struct.unpack(">I", take(4))[0])        # size, pixel format, name
s.sendall(struct.pack(">BBHii", 2, 0, 2, 0, -308))     # encodings: raw, extended desktop size
msg = struct.pack(">BBHHBB", 251, 0, 2560, 800, 2, 0)  # SetDesktopSize: two screens
for sid, x in ((1, 0), (2, 1280)):
    msg += struct.pack(">IHHHHI", sid, x, 0, 1280, 800, 0)
s.sendall(msg); time.sleep(0.5); s.close()
RFB
    DISPLAY=$disp xrandr --output VNC-1 --primary
) >/dev/null 2>&1 &
exec /usr/bin/Xvnc "$disp" -geometry 2560x800 -depth 24 -SecurityTypes None -localhost \
    -rfbport "$port" -AcceptSetDesktopSize=1 -noreset -nolisten tcp
XVFB
    chmod +x "$scratch/bin/Xvfb"
    PATH=$scratch/bin:$PATH
fi
# shellcheck disable=SC1090
if [ "$SCREENS" = 2 ] && [ "$host" = kde ]; then
    # The host waits for a bar as wide as the whole framebuffer; here it is as wide as one screen.
    source "$HOSTS/kde_host.sh" helpers
    _snih_panel_wid() { host_windows 2>/dev/null | awk '$7=="DOCK" && $8=="plasmashell" {print $1; f=1; exit} END{exit !f}'; }
    _snih_start || exit 2
else
    source "$HOSTS/${host}_host.sh" start || exit 2
fi
[ "$host" = xfce ] && { timeout 100 xfwm4 --compositor=off --sm-client-disable >/dev/null 2>&1 & sleep 1; }
shot_tag=${SNIHOST_PANEL_EDGE:-top}
if [ "$SCREENS" = 2 ]; then
    shot_tag+=-2screens
    for _ in $(seq 30); do xrandr --listmonitors | grep -q "^ 0: +\*VNC-1 .*+1280+0" && break; sleep 0.2; done
    xrandr --listmonitors | grep -q "^ 0: +\*VNC-1 .*+1280+0" && xrandr --listmonitors | grep -q "+VNC-0 .*+0+0"
    check two-screens $? "$(xrandr --listmonitors | tr '\n' ' ')"
    if [ "$host" = kde ]; then
        # The host's finder reads the whole root's width at the top or bottom; the other screen's
        # desktop lies there now. Only the bar's own window is read.
        sni_items_geom() {
            local g x y w h
            g=$(host_windows | awk '$7=="DOCK" && $8=="plasmashell" {print $2, $3, $4, $5; exit}') || return 1
            read -r x y w h <<<"$g"
            [ -n "$h" ] || return 1
            import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage -depth 8 rgb:- 2>/dev/null |
                /usr/bin/python3 -c '
import sys
from collections import Counter
w, h, x0, y0 = map(int, sys.argv[1:5])
d = sys.stdin.buffer.read()
if len(d) < w * h * 3: sys.exit(1)
px = lambda x, y: d[(y * w + x) * 3:(y * w + x) * 3 + 3]
bg = Counter(px(x, y) for y in range(2, h - 2) for x in range(0, w, 4)).most_common(1)[0][0]
ink = [any(max(abs(a - b) for a, b in zip(px(x, y), bg)) > 12 for y in range(2, h - 2)) for x in range(w)]
boxes, start, last = [], None, None
for x, on in enumerate(ink + [False] * 6):
    if on and start is None: start = x
    if on: last = x
    if start is not None and not on and x - last > 4:
        boxes.append((start, last)); start = None
for a, b in boxes: print(x0 + a, y0 + 2, b - a + 1, h - 4)
sys.exit(0 if boxes else 1)' "$w" "$h" "$x" "$y"
        }
    fi
fi

# Some Trash to show: 5 MB.
head -c 5000000 /dev/urandom >"$HOME/old-report.bin"
"$RUBBLY" trash put "$HOME/old-report.bin" >/dev/null 2>&1 || gio trash "$HOME/old-report.bin"
started=$(date +%s%N)
# Each message with the seconds since the program started: when the item registered.
QT_MESSAGE_PATTERN='%{time process} %{category}: %{message}' timeout 100 "$RUBBLY" >"$OUT/rubbly.log" 2>&1 &
app=$!
ms_since() { echo $((($(date +%s%N) - $1) / 1000000)); }
# Milliseconds from FROM (ns) until the bar shows our label (the extension's own actor, read
# through the shell: cheap enough to look every 0.1 s), at most SECONDS; then what OCR reads there.
label_after() { # FROM SECONDS
    local js='(() => { const a = Object.entries(Main.panel.statusArea).find(([k, a]) => k.startsWith("appindicator-") && a.visible && a._label && a._label.visible && a._label.text); return a ? a[1]._label.text : ""; })()'
    while [ -z "$(host_eval "$js" 2>/dev/null | tr -d '"')" ] && [ "$(ms_since "$1")" -le $(($2 * 1000)) ]; do sleep 0.1; done
    local ms; ms=$(ms_since "$1")
    echo "$ms $(host_ocr_panel 2>/dev/null)"
}

panel_geom() { # "X Y W H" of the open panel
    local w; w=$(xdotool search --onlyvisible --name '^Rubbly$' 2>/dev/null | head -1) || return 1
    [ -n "$w" ] || return 1
    xwininfo -id "$w" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}'
}
workarea() { xprop -root _NET_WORKAREA 2>/dev/null | sed 's/.*= //; s/,//g' | awk '{print $1, $2, $3, $4}'; }
# The panel is open over the item's x and flush against the work area's top or bottom.
check_placed() { # NAME ITEM-X
    local name=$1 ix=$2 g px py pw ph wx wy ww wh
    sleep 1.2
    host_shot "$OUT/$host-$shot_tag-$name.png"
    g=$(panel_geom) || { check "$name" 1 "(no panel open)"; return; }
    read -r px py pw ph <<<"$g"
    read -r wx wy ww wh <<<"$(workarea)"
    local flush=1
    { [ "$py" = "$wy" ] || [ $((py + ph)) = $((wy + wh)) ]; } && flush=0
    [ "$host" = gnome ] && flush=0 # no work area for XWayland clients to compare with
    [ "$flush" = 0 ] && [ "$ix" -ge "$px" ] && [ "$ix" -le $((px + pw)) ]
    check "$name" $? "panel at $g, item x $ix, work area ${wx:-?} ${wy:-?} ${ww:-?} ${wh:-?}"
}
# Input as a person gives it: through the X server, or on GNOME through the compositor (an X11
# client's synthetic input stays inside XWayland there).
key() { # Escape | Down | Return
    if [ "$host" = gnome ]; then
        case $1 in Escape) host_key 0xff1b ;; Down) host_key 0xff54 ;; Return) host_key 0xff0d ;; esac
    else xdotool key "$1"; fi
}
# A double click on the item as the shell gets it from a hand: the extension counts two presses
# as one double click only when their event times lie within the double-click time (400 ms), so
# the four button events are given in one call with times 40 to 120 ms apart; one gdbus call per
# event takes longer than that on a busy machine, and the item's menu then opens and closes.
dblclick_item() {
    local g x y w h
    g=$(sni_item_geom) || return 1
    read -r x y w h <<<"$g"
    host_move $((x + w / 2)) $((y + h / 2)) && sleep 0.2 &&
        host_eval "(() => { const t = GLib.get_monotonic_time(); [[0, 1], [40, 0], [80, 1], [120, 0]].forEach(([ms, down]) => this._ptr.notify_button(t + ms * 1000, 1, down ? Clutter.ButtonState.PRESSED : Clutter.ButtonState.RELEASED)); return true; })()" >/dev/null
}
pointer_to() { if [ "$host" = gnome ]; then host_move "$1" "$2"; else xdotool mousemove "$1" "$2"; fi; }
button() { # down | up
    if [ "$host" = gnome ]; then _snih_helper Button 1 "$([ "$1" = down ] && echo true || echo false)" >/dev/null
    else xdotool "mouse$1" 1; fi
}
close_panel() { # Escape closes a confirmation first, then the panel
    for _ in 1 2 3; do
        panel_geom >/dev/null || return 0
        key Escape
        sleep 0.8
    done
}
# Chooses the menu's Nth entry as a person does: right click (GNOME: click), the pointer onto the
# menu's edge, arrows and Return.
menu_entry() { # N
    local b=3 g mx my mw mh
    [ "$host" = gnome ] && b=1
    sni_click_first $b >/dev/null || return 1
    sleep 0.8
    if g=$(sni_menu_geom); then
        read -r mx my mw mh <<<"$g"
        pointer_to $((mx + 2)) $((my + 2))
    fi
    for _ in $(seq "$1"); do
        key Down
        sleep 0.15
    done
    key Return
}

[ "$host" = gnome ] && want label && first_label=$(label_after "$started" 10)
sni_wait_items 1 20
check register $? "item registered"
read -r ix _ _ _ <<<"$(sni_item_geom)"
ix=$((ix + 11))
[ "$host" = gnome ] || sleep 2
host_shot "$OUT/$host-register.png"
if [ "$host" = gnome ] && want label; then
    read -r ms label <<<"$first_label"
    # A busy machine can take seconds to start the program: the promise is counted from the
    # item's registration (its first, as the program logs it).
    registered=$(awk '/registered .* with the status notifier watcher/ {printf "%d", $1 * 1000; exit}' "$OUT/rubbly.log")
    [ $((ms - ${registered:-0})) -le 3000 ] && grep -q "MB" <<<"$label"
    check label $? "bar reads '$label' $ms ms after start, $((ms - ${registered:-0})) ms after the item registered (5.0 MB within 3 s expected)"
    # Switched off and on again (as `gnome-extensions disable|enable` does; the host's bus has no
    # dconf for that tool): the extension and its watcher go and come back.
    ext="'ubuntu-appindicators@ubuntu.com'"
    host_eval "Main.extensionManager.disableExtension($ext)" >/dev/null; sleep 1.5
    host_ocr_panel >/dev/null 2>&1
    check label-gone-when-off $((! $?)) "no label while the extension is off"
    enabled=$(date +%s%N)
    host_eval "Main.extensionManager.enableExtension($ext)" >/dev/null
    read -r ms label <<<"$(label_after "$enabled" 10)"
    [ "$ms" -le 3000 ] && grep -q "MB" <<<"$label"
    check label-after-reenable $? "bar reads '$label' $ms ms after the extension came back"
    host_shot "$OUT/$host-label.png" panel
fi

if want menu; then
    menu_entry 1; check_placed menu-open-panel "$ix"; close_panel
    menu_entry 2; check_placed menu-empty-trash "$ix"; close_panel
fi
if want toggle; then
    "$RUBBLY" --toggle-panel; check_placed toggle-panel "$ix"; close_panel
fi
# The window a file is dragged from is up first, as a file manager would be: it takes the focus.
src=
if [ -x "$DRAG_SOURCE" ] && want drop; then
    echo dropped >"$HOME/notes.txt"
    # On X11 like the panel, so that both are X windows under one pointer (GNOME: on XWayland).
    QT_QPA_PLATFORM=xcb "$DRAG_SOURCE" "$HOME/notes.txt" & src=$!
    sleep 2
fi
if want click || want drop; then
    if [ "$host" = gnome ]; then dblclick_item; else sni_click_first 1 >/dev/null; fi
    check_placed click "$ix"
fi

# A file carried from another window at human speed (about 2 s) and dropped on the open panel.
sw=$(xdotool search --onlyvisible --name '^drag-source$' 2>/dev/null | head -1)
if want drop && { [ -z "$src" ] || [ -z "$sw" ] || ! panel_geom >/dev/null; }; then
    check drop 1 "(no drag source at $DRAG_SOURCE, or its window or the panel is not up)"
elif want drop && g=$(panel_geom); then
    read -r px py pw ph <<<"$g"
    read -r sx sy _ _ <<<"$(xwininfo -id "$sw" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} END{print x, y}')"
    sx=$((sx + 60)); sy=$((sy + 60))
    # Pressed on the "file", carried over in about two seconds, held a moment, let go.
    pointer_to "$sx" "$sy"; sleep 0.3; button down; sleep 0.3
    for i in $(seq 1 20); do
        pointer_to $((sx + (px + pw / 2 - sx) * i / 20)) $((sy + (py + ph / 2 - sy) * i / 20)); sleep 0.1
    done
    sleep 0.4; host_shot "$OUT/$host-dragging.png"; button up; sleep 1.5
    host_shot "$OUT/$host-drop.png"
    [ ! -e "$HOME/notes.txt" ] && [ -f "$XDG_DATA_HOME/Trash/files/notes.txt" ]
    check drop $? "dragged file moved to the scratch Trash"
fi
[ -n "$src" ] && kill "$src" 2>/dev/null
close_panel

if want settings; then
    menu_entry 3; sleep 1.5; host_shot "$OUT/$host-settings.png"
    xdotool search --onlyvisible --name 'Rubbly Settings' >/dev/null 2>&1
    check settings $? "settings window open"
fi
if want empty; then
    "$RUBBLY" --empty-trash; sleep 1.5; host_shot "$OUT/$host-empty-confirm.png"
    # Return answers the card: the panel opened with the focus.
    key Return; sleep 2
    host_shot "$OUT/$host-emptied.png"
    [ -z "$(ls -A "$XDG_DATA_HOME/Trash/files" 2>/dev/null)" ]
    check empty $? "Trash emptied"
fi

kill "$app" 2>/dev/null
source "$HOSTS/${host}_host.sh" stop
rm -rf "$scratch"
echo "$failures failed; screenshots in $OUT"
exit "$failures"
