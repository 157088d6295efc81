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
# GNOME's host starts in about 40 s of its 110 s life, so run it twice, e.g. STEPS=label then
# STEPS=menu,toggle,click,drop and STEPS=settings,empty), RUBBLY (the program; default build/dev/bin/rubbly, else `rubbly` on PATH), DRAG_SOURCE
# (default build/dev/tests/drag-source), HOSTS (the host scripts; default shared/hosts beside the
# checkout or one level up, else /root/shared/hosts), SNIHOST_PANEL_EDGE (kde: top | bottom), SNIHOST_SCREEN.
# Everything runs against a private display and bus with HOME and XDG_* in a scratch folder.
# Exit status: the number of failed checks.
#
# In a Debian 13 root (Plasma 6, GNOME 48), from the checkout, after `chroot.sh make` as in the
# hosts' README and a build in the root (`cmake --preset dev && cmake --build build/dev --target
# rubbly drag-source`):
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

# shellcheck disable=SC1090
source "$HOSTS/${host}_host.sh" start || exit 2
[ "$host" = xfce ] && { timeout 100 xfwm4 --compositor=off --sm-client-disable >/dev/null 2>&1 & sleep 1; }

# Some Trash to show: 5 MB.
head -c 5000000 /dev/urandom >"$HOME/old-report.bin"
"$RUBBLY" trash put "$HOME/old-report.bin" >/dev/null 2>&1 || gio trash "$HOME/old-report.bin"
timeout 100 "$RUBBLY" >"$OUT/rubbly.log" 2>&1 &
app=$!

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
    host_shot "$OUT/$host-${SNIHOST_PANEL_EDGE:-top}-$name.png"
    g=$(panel_geom) || { check "$name" 1 "(no panel open)"; return; }
    read -r px py pw ph <<<"$g"
    read -r wx wy ww wh <<<"$(workarea)"
    local flush=1
    { [ "$py" = "$wy" ] || [ $((py + ph)) = $((wy + wh)) ]; } && flush=0
    [ "$host" = gnome ] && flush=0 # no work area for XWayland clients to compare with
    [ "$flush" = 0 ] && [ "$ix" -ge "$px" ] && [ "$ix" -le $((px + pw)) ]
    check "$name" $? "panel at $g, item x $ix, work area ${wx:-?} ${wy:-?} ${ww:-?} ${wh:-?}"
}
close_panel() { # Escape closes a confirmation first, then the panel
    for _ in 1 2 3; do
        panel_geom >/dev/null || return 0
        if [ "$host" = gnome ]; then host_key 0xff1b; else xdotool key Escape; fi
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
        if [ "$host" = gnome ]; then host_move $((mx + 4)) $((my + 2)); else xdotool mousemove $((mx + 2)) $((my + 2)); fi
    fi
    for _ in $(seq "$1"); do
        if [ "$host" = gnome ]; then host_key 0xff54; else xdotool key Down; fi
        sleep 0.15
    done
    if [ "$host" = gnome ]; then host_key 0xff0d; else xdotool key Return; fi
}

sni_wait_items 1 20
check register $? "item registered"
read -r ix _ _ _ <<<"$(sni_item_geom)"
ix=$((ix + 11))
sleep 2
host_shot "$OUT/$host-register.png"
if [ "$host" = gnome ] && want label; then
    label=$(host_ocr_panel)
    grep -q "MB" <<<"$label"
    check label $? "bar reads '$label' (5.0 MB expected)"
    # Switched off and on again (as `gnome-extensions disable|enable` does; the host's bus has no
    # dconf for that tool): the extension and its watcher go and come back.
    ext="'ubuntu-appindicators@ubuntu.com'"
    host_eval "Main.extensionManager.disableExtension($ext)" >/dev/null; sleep 1.5
    host_ocr_panel >/dev/null 2>&1
    check label-gone-when-off $((! $?)) "no label while the extension is off"
    host_eval "Main.extensionManager.enableExtension($ext)" >/dev/null; sleep 3
    label=$(host_ocr_panel)
    grep -q "MB" <<<"$label"
    check label-after-reenable $? "bar reads '$label'"
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
    "$DRAG_SOURCE" "$HOME/notes.txt" & src=$!
    sleep 2
fi
if want click || want drop; then
    if [ "$host" = gnome ]; then sni_dblclick_first >/dev/null; else sni_click_first 1 >/dev/null; fi
    check_placed click "$ix"
fi

# A file carried from another window at human speed (about 2 s) and dropped on the open panel.
sw=$(xdotool search --onlyvisible --name '^drag-source$' 2>/dev/null | head -1)
if [ -n "$src" ] && [ -n "$sw" ] && g=$(panel_geom); then
    read -r px py pw ph <<<"$g"
    read -r sx sy _ _ <<<"$(xwininfo -id "$sw" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} END{print x, y}')"
    sx=$((sx + 60)); sy=$((sy + 60))
    # Pressed on the "file", carried over in about two seconds, held a moment, let go.
    xdotool mousemove "$sx" "$sy"; sleep 0.3; xdotool mousedown 1; sleep 0.3
    for i in $(seq 1 20); do
        xdotool mousemove $((sx + (px + pw / 2 - sx) * i / 20)) $((sy + (py + ph / 2 - sy) * i / 20)); sleep 0.1
    done
    sleep 0.4; host_shot "$OUT/$host-dragging.png"; xdotool mouseup 1; sleep 1.5
    host_shot "$OUT/$host-drop.png"
    [ ! -e "$HOME/notes.txt" ]
    check drop $? "dragged file moved to the Trash"
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
    xdotool search --onlyvisible --name '^Rubbly$' windowactivate --sync key Return 2>/dev/null; sleep 2
    host_shot "$OUT/$host-emptied.png"
    [ -z "$(ls -A "$XDG_DATA_HOME/Trash/files" 2>/dev/null)" ]
    check empty $? "Trash emptied"
fi

kill "$app" 2>/dev/null
source "$HOSTS/${host}_host.sh" stop
rm -rf "$scratch"
echo "$failures failed; screenshots in $OUT"
exit "$failures"
