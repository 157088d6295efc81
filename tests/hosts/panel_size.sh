#!/bin/bash
# End-to-end check of the Trash's size in a desktop's own panel, on the real hosts of
# ../shared/hosts (KDE Plasma and XFCE): `rubbly tray add-to-panel`, then the size by OCR, the size
# after a 5 MB file goes to the Trash, a click that opens our panel, and no wake-ups while idle.
#
#   tests/hosts/panel_size.sh kde|xfce [BUILD_DIR] [SHOT_DIR]
#
# BUILD_DIR defaults to build/dev. Runs on a private display, bus, HOME and Trash (the host's state
# folder); writes the panel's screenshots to SHOT_DIR (default: a folder under /tmp). Needs
# tesseract-ocr, imagemagick, xdotool and the host's packages (see the hosts' README).
set -u
desktop=${1:?usage: panel_size.sh kde|xfce [BUILD_DIR] [SHOT_DIR]}
root=$(cd "$(dirname "$0")/../.." && pwd)
R=$(readlink -f "${2:-$root/build/dev}")/bin/rubbly
shots=${3:-$(mktemp -d /tmp/panel-size.XXXXXX)}
hosts=${SNIHOST_DIR:-$root/../../shared/hosts}
[ -d "$hosts" ] || hosts=/work/shared/hosts
[ -d "$hosts" ] || hosts=/root/shared/hosts # in a Debian 13 root, as the hosts' README copies them
case $desktop in
    kde) script=$hosts/kde_host.sh; xdg=KDE ;;
    xfce) script=$hosts/xfce_host.sh; xdg=XFCE ;;
    *) echo "panel_size: no such desktop: $desktop" >&2; exit 2 ;;
esac
mkdir -p "$shots"
host_started=$(date +%s.%N)
SNIHOST_TTL=115 source "$script" start || exit 1
S=$SNIHOST_STATE
# The host's own session folders, as a real session shares them between the panel and the program.
export HOME=$S/home XDG_CONFIG_HOME=$S/config XDG_DATA_HOME=$S/data XDG_CACHE_HOME=$S/cache \
    XDG_RUNTIME_DIR=$S/runtime XDG_CURRENT_DESKTOP=$xdg KDE_FULL_SESSION=true
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
now() { date +%s.%N; }
# Arithmetic on fractional seconds without bc, which a Debian 13 root lacks.
calc() { awk "BEGIN { printf \"%.3f\", $* }"; }
holds() { awk "BEGIN { exit !($*) }"; }
# Screenshots of the panel strip every 0.2 s for $1 seconds, named by the time since $2.
burst() {
    local end t
    end=$(calc "$(now) + $1")
    while holds "$(now) < $end"; do
        t=$(calc "$(now) - $2")
        import -display "$DISPLAY" -window root -crop 1280x34+0+0 +repage "$shots/$3-$(printf '%06.3f' "$t").png"
        sleep 0.2
    done
}
# The time of the first shot of a burst whose OCR reads $2 (or nothing).
first_reading() {
    local f
    for f in "$shots/$1"-*.png; do
        convert "$f" -scale 300% "$S/ocr.png"
        if tesseract "$S/ocr.png" - --psm 11 2>/dev/null | tr '\n' ' ' | grep -q -- "$2"; then
            basename "$f" .png | sed "s/^$1-//"
            return 0
        fi
    done
    return 1
}

mkdir -p "$S/work"
head -c 2400000 /dev/urandom >"$S/work/first.bin"
"$R" trash put "$S/work/first.bin"
# XFCE restarts its panel to load a new plugin, and the panel starts only beside a window manager.
if [ "$desktop" = xfce ]; then
    timeout 110 xfwm4 --compositor=off --sm-client-disable >"$S/xfwm4.log" 2>&1 &
    wm=$!
fi
timeout 110 "$R" >"$S/rubbly.log" 2>&1 &
tray_started=$(now)
sleep 0.5
tray=$(pgrep -P $! -x "rubbly(-tray)?") # `rubbly` becomes `rubbly-tray` in the same process
sni_wait_items 1 || fail "the status item did not register"

t0=$(now)
"$R" tray add-to-panel || fail "add-to-panel failed"
burst 4 "$t0" added
head -c 5000000 /dev/urandom >"$S/work/second.bin"
t1=$(now)
"$R" trash put "$S/work/second.bin"
burst 3 "$t1" grown

# A click on the size opens our panel (its window is named "Rubbly").
last=$(ls "$shots"/grown-*.png | tail -1)
convert "$last" -scale 300% "$S/ocr.png"
x=$(tesseract "$S/ocr.png" - --psm 11 tsv 2>/dev/null | awk -F'\t' '$12 ~ /[0-9][.,-][0-9]/ { print int(($7 + $9 / 2) / 3); exit }')
if [ -n "$x" ]; then
    xdotool mousemove "$x" 16 click 1
    sleep 2
    xdotool search --onlyvisible --name '^Rubbly$' >/dev/null 2>&1 || fail "a click on the size at x=$x opened no panel"
    import -display "$DISPLAY" -window root "$shots/clicked.png"
    xdotool key Escape
    sleep 0.5
    ! xdotool search --onlyvisible --name '^Rubbly$' >/dev/null 2>&1 || fail "Escape did not close our panel"
else
    fail "no size found to click"
fi
# Plasma's menu for the widget: ours first, and no "Configure…" entry for a page the widget lacks.
if [ "$desktop" = kde ] && [ -n "$x" ]; then
    xdotool mousemove "$x" 16 click 3
    sleep 1.5
    import -display "$DISPLAY" -window root "$shots/menu.png"
    convert "$shots/menu.png" -scale 200% "$S/ocr.png"
    menu=$(tesseract "$S/ocr.png" - --psm 11 2>/dev/null | tr '\n' ' ')
    echo "$menu" | grep -q "Empty Trash" || fail "the widget's menu has no Empty Trash: $menu"
    ! echo "$menu" | grep -qi "Configure Rubbly" || fail "the widget's menu offers Configure Rubbly: $menu"
    xdotool key Escape
    sleep 0.5
fi

# Idle: the panel closed and let go (PanelKeeper holds a closed panel for 30 s), nothing changing.
# Every process of ours (the tray, the helpers a Plasma widget runs, the wrapper process that runs
# XFCE's generic monitor) keeps the context-switch counts of all its threads for 30 s. The tray's
# one timer is the design's 60 s poll of the trash folders (the monitor watches only the home
# trash); Qt lets a coarse 60 s timer fire up to 3 s early or late, so the window sits between two
# polls rather than across one, and the counts say which thread woke if anything did.
switches() { # PID -> "THREAD-NAME:COUNT ..." over its threads
    local t
    for t in /proc/"$1"/task/*; do
        printf '%s:%s ' "$(tr -d ' ' <"$t/comm" 2>/dev/null)" \
            "$(awk '/ctxt_switches/ { s += $2 } END { print s + 0 }' "$t/status" 2>/dev/null)"
    done
}
total() { tr ' ' '\n' <<<"$1" | awk -F: '{ s += $2 } END { print s + 0 }'; }
closed=$(now)
start_at=$(calc "$closed + 33")
poll=$(calc "$tray_started + 60")
while holds "$poll + 3 < $start_at"; do poll=$(calc "$poll + 60"); done
if holds "$start_at + 30 > $poll - 3"; then start_at=$(calc "$poll + 4"); fi
# The host ends everything 115 s after its start.
holds "$start_at + 32 < $host_started + 115" || fail "no time left to measure idle wake-ups"
wait_for=$(calc "$start_at - $(now)")
holds "$wait_for > 0" && sleep "$wait_for"
pids="$tray $(pgrep -f "$R tray label" | tr '\n' ' ')"
[ "$desktop" = xfce ] && pids="$pids $(pgrep -f 'wrapper-2.0.*genmon' | tr '\n' ' ')"
declare -A before
for p in $pids; do before[$p]=$(switches "$p"); done
sleep 30
for p in $pids; do
    after=$(switches "$p")
    n=$(($(total "$after") - $(total "${before[$p]}")))
    echo "idle: pid $p ($(tr '\0' ' ' <"/proc/$p/cmdline" | cut -c1-60)) switched $n times in 30 s"
    if [ "$n" -gt 0 ]; then
        echo "  before: ${before[$p]}"
        echo "  after:  $after"
        fail "pid $p woke up $n times while idle"
    fi
done
kill "$tray" 2>/dev/null
[ -n "${wm:-}" ] && kill "$wm" 2>/dev/null
source "$script" stop

if t=$(first_reading added "2[.,-][0-9]"); then
    echo "size shown ${t}s after add-to-panel"
    holds "$t <= 3" || fail "the size took ${t}s to show"
else
    fail "the size never showed after add-to-panel"
fi
if t=$(first_reading grown "7[.,-][0-9]"); then
    echo "new size shown ${t}s after trash put"
    holds "$t <= 2" || fail "the new size took ${t}s to show"
else
    fail "the new size never showed after trash put"
fi
echo "screenshots in $shots"
[ "$failures" = 0 ] && echo "PASS" || { echo "$failures failure(s)"; exit 1; }
