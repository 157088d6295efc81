#!/bin/bash
# Seconds until GNOME Shell's bar shows the Trash's size beside our item, read by OCR: once from the
# program's start, and once from `gnome-extensions enable` after the AppIndicator extension was
# switched off. Made for GNOME Shell 48 with the installed package (`rubbly` on PATH), in a
# Debian 13 root; runs against a private compositor and bus with HOME and XDG_* in a scratch folder.
#
#   tests/hosts/gnome-label-time.sh [OUT]
#
# The bar is looked at every 0.1 s through the shell (whether the extension's label has a text),
# then the label's pixels are read by OCR; the seconds printed are up to the look that saw it.
# RUBBLY (default `rubbly` on PATH), HOSTS (the host scripts, as in desktop-e2e.sh), LIMIT (3 s).
# Exit status: the number of readings later than LIMIT or without the size.
#
#   ../shared/distros/chroot.sh run ROOT . 'apt-get install -y /root/rubbly_*.deb &&
#       cd /root/src && tests/hosts/gnome-label-time.sh /root/shots'

OUT=$(readlink -f "${1:-/tmp/rubbly-label-time}")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
RUBBLY=${RUBBLY:-$(command -v rubbly)}
LIMIT=${LIMIT:-3}
if [ -z "${HOSTS:-}" ]; then
    for HOSTS in "$here/../shared/hosts" "$here/../../shared/hosts" /root/shared/hosts; do
        [ -d "$HOSTS" ] && break
    done
fi
[ -x "$RUBBLY" ] || { echo "no rubbly on PATH (install the package)" >&2; exit 2; }
mkdir -p "$OUT"
scratch=$(mktemp -d /tmp/rubbly-label.XXXXXX)
export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data \
    XDG_CACHE_HOME=$scratch/cache XDG_STATE_HOME=$scratch/state LANG=C.UTF-8 LANGUAGE=en \
    XDG_CURRENT_DESKTOP=GNOME
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME"
# shellcheck disable=SC1091
source "$HOSTS/gnome_host.sh" start || exit 2
late=0

head -c 5000000 /dev/urandom >"$HOME/old-report.bin"
"$RUBBLY" trash put "$HOME/old-report.bin" >/dev/null 2>&1 || gio trash "$HOME/old-report.bin"

seconds_since() { echo "$(($(date +%s%N) - $1))" | awk '{printf "%.2f", $1 / 1e9}'; }
shown() {
    local js='Object.entries(Main.panel.statusArea).some(([k, a]) => k.startsWith("appindicator-") && a.visible && a._label && a._label.visible && a._label.text)'
    [ "$(host_eval "$js" 2>/dev/null)" = true ]
}
# Waits up to 10 s for the label, then prints the seconds since FROM, those since REGISTERED (when
# given) and what OCR reads; counts a late or unreadable one.
measure() { # WHAT FROM [REGISTERED]
    local t0=$2 s
    while ! shown && [ "$(($(date +%s%N) - t0))" -lt 10000000000 ]; do sleep 0.1; done
    s=$(seconds_since "$t0")
    # A busy machine can take seconds to start the program: the limit counts from the registration.
    local r=${3:+$(seconds_since "$3")}
    local text; text=$(host_ocr_panel 2>/dev/null)
    echo "$1: ${s} s${r:+ ($r s after the item registered)}; the bar reads '${text}'"
    awk -v t="${r:-$s}" -v l="$LIMIT" 'BEGIN {exit !(t <= l)}' && grep -q "MB" <<<"$text" || late=$((late + 1))
}

started=$(date +%s%N)
timeout 100 "$RUBBLY" >"$OUT/rubbly.log" 2>&1 &
app=$!
until [ -n "$(sni_items 2>/dev/null)" ] || [ "$(($(date +%s%N) - started))" -gt 20000000000 ]; do sleep 0.05; done
registered=$(date +%s%N)
measure "from start" "$started" "$registered"
host_shot "$OUT/gnome-label-start.png" panel

# The tool writes the shell's settings, which the host keeps in a key file (no dconf on its bus).
ext() { GSETTINGS_BACKEND=keyfile XDG_CONFIG_HOME="$SNIHOST_STATE/config" gnome-extensions "$1" ubuntu-appindicators@ubuntu.com; }
ext disable
for _ in $(seq 50); do shown || break; sleep 0.1; done
shown && { echo "the label stayed while the extension was off"; late=$((late + 1)); }
enabled=$(date +%s%N)
ext enable
measure "after gnome-extensions enable" "$enabled"
host_shot "$OUT/gnome-label-reenabled.png" panel

kill "$app" 2>/dev/null
source "$HOSTS/gnome_host.sh" stop
rm -rf "$scratch"
exit "$late"
