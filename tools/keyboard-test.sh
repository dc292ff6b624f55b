#!/usr/bin/env bash
# The demonstration build as a keyboard user meets it: started under 32-bit Wine in a 64-bit
# prefix of its own, on an X display of its own, and driven with real key presses and clicks
# through the X server (xdotool), while a probe reads from another process where the focus
# is. Leaves screenshots in the output folder for a person to look at.
#   tools/keyboard-test.sh <prefix> <OverreachDemo.exe> <KeyboardProbe.exe> <out>
set -uo pipefail
if [ $# -ne 4 ]; then
    echo "usage: tools/keyboard-test.sh <prefix> <OverreachDemo.exe> <KeyboardProbe.exe> <out>" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
prefix=$1 demo=$2 probe=$3 out=$4
for tool in xdotool Xvfb xprop python3; do
    if ! command -v "$tool" >/dev/null; then
        echo "FAIL: $tool is missing, so no key can be pressed: tools/setup.sh installs it"
        exit 1
    fi
done
for file in "$demo" "$probe"; do
    [ -f "$file" ] || { echo "FAIL: $file is missing: build it first"; exit 1; }
done
mkdir -p "$out"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
windows_path() { echo "Z:$(realpath -m "$1" | tr / '\\')"; }

# A display of our own: keys go to whatever has the X focus there, and nothing else runs on it.
xvfb=""
for n in $(seq 71 99); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    sleep 1
    if kill -0 "$xvfb" 2>/dev/null; then
        export DISPLAY=":$n"
        break
    fi
    xvfb=""
done
[ -n "$xvfb" ] || { echo "FAIL: no free X display for Xvfb"; exit 1; }
demo_pid=""
cleanup() {
    [ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null
    # The prefix is this test's own: its Wine processes go with the display they drew on.
    WINEPREFIX=$(realpath -m "$prefix") "${OVERREACH_WINE_DIR:-/usr/lib/wine}/wineserver" -k 2>/dev/null
    kill "$xvfb" 2>/dev/null
    wait 2>/dev/null
}
trap cleanup EXIT

run() { "$here/wine-run" "$prefix" "$@"; }
probe() { run "$probe" "$@" | tr -d "\r"; }
# The probe answers "focus <id> buttons <xyz> box <0|1>". A key takes its time to arrive on a
# busy machine: the state is read again for a while before it counts as wrong. A state that
# must not change (the program still there) is read after the wait, so a late end shows too.
expect_state() {  # <pattern> <what it shows>
    local now end=$((SECONDS + 15))
    sleep 0.7
    now=$(probe focus)
    # "none": the window is gone, and will not come back.
    while [[ "$now" != $1 ]] && [ "$now" != none ] && [ $SECONDS -lt $end ]; do
        sleep 0.5
        now=$(probe focus)
    done
    if [[ "$now" == $1 ]]; then pass "$2 ($now)"; else fail "$2: expected '$1', read '$now'"; fi
}
key() {
    xdotool key --clearmodifiers "$@"
}

# The colour scheme as it was before a run that was stopped under the high-contrast one.
saved=$out/colours-before.reg
[ -s "$saved" ] && run regedit /s "$(windows_path "$saved")" && rm -f "$saved"

# Drive 1 has a virtual drive that is not plugged in (all three operations offered); drive 2
# none, and its first two plug-ins are refused (each fault counts the calls that reach it).
scenario=$out/keyboard.scenario
cat > "$scenario" <<'SCENARIO'
bus present
drive 1 size=3000592982016 product="RESCAN3T"
virtual 5 drive=1 mounted=0
drive 2 size=4000787030016 product="PLAIN4T"
fault DeviceIoControl ioctl=0x2A4004 nth=1 error=5
fault DeviceIoControl ioctl=0x2A4004 nth=1 error=5
SCENARIO

run "$demo" "$(windows_path "$scenario")" &
demo_pid=$!
window=$(timeout 90 xdotool search --sync --name '^Overreach$' 2>/dev/null | head -1)
if [ -z "$window" ]; then
    fail "the demonstration's window did not appear"
    exit 1
fi
sleep 1
# A new window takes keys once it has been clicked: on the skin, away from every control.
xdotool mousemove --window "$window" 60 60 click 1
expect_state "focus 1026 buttons 111 box 0" "the focus starts in the drive list"
probe shot "$(windows_path "$out/focus-list.png")"

order=(1014 1019 1020 1047 1048 1022 1021 1026)
for id in "${order[@]}"; do
    key Tab
    expect_state "focus $id *" "Tab reaches $id"
    [ "$id" = 1014 ] && probe shot "$(windows_path "$out/focus-button.png")"
done
key shift+Tab
expect_state "focus 1021 *" "Shift+Tab goes back to close"
key Tab

key Return
expect_state "focus 1026 buttons 111 box 0" "Enter in the list does not end the program"

# The second drive: Create offered. It fails twice, and each time Space tries it again.
key Down
expect_state "focus 1026 buttons 100 box 0" "Down selects the second drive"
key Tab
expect_state "focus 1014 *" "Tab reaches Create"
key Return
expect_state "* box 1" "Enter on Create performs it (the refused plug-in is reported)"
probe shot "$(windows_path "$out/failed-create.png")"
key Return
expect_state "focus 1014 buttons 100 box 0" "after the box the focus is back on Create"
key space
expect_state "* box 1" "Space tries Create again"
key Return
expect_state "focus 1014 buttons 100 box 0" "the program is still there, the focus on Create"
key Return
sleep 1.5  # the plug-in's device broadcasts and their rescan
expect_state "focus 1026 buttons 011 box 0" "Enter on Create plugs the virtual drive in; the focus goes to the list"
# The icons the window hands the window manager, which a taskbar and Alt+Tab show.
sizes=$(xprop -id "$window" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | tr '\n' ' ')
if [ "$sizes" = "Icon (32 x 32) Icon (16 x 16) " ]; then
    pass "the window's icons for the taskbar: $sizes"
    xprop -id "$window" -notype 32c _NET_WM_ICON | python3 -c '
import struct, sys, zlib
values = [int(v) for v in sys.stdin.read().split("=", 1)[1].replace(",", " ").split()]
w, h = values[0], values[1]
scale = 4  # large enough to look at
rows = b""
for y in range(h * scale):
    row = b"\0"
    for x in range(w * scale):
        argb = values[2 + (y // scale) * w + x // scale]
        a = argb >> 24 & 255
        # Over a light grey, as a taskbar would show it.
        mix = lambda c: (c * a + 212 * (255 - a)) // 255
        row += bytes((mix(argb >> 16 & 255), mix(argb >> 8 & 255), mix(argb & 255)))
    rows += row
chunk = lambda kind, data: struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w * scale, h * scale, 8, 2, 0, 0, 0))
png += chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b"")
open(sys.argv[1], "wb").write(png)
' "$out/window-icon.png"
else
    fail "the window's icons for the taskbar: '$sizes'"
fi

key alt+F4
code=""
for _ in $(seq 1 60); do
    if ! kill -0 "$demo_pid" 2>/dev/null; then
        wait "$demo_pid"
        code=$?
        break
    fi
    sleep 0.5
done
demo_pid_done=$demo_pid
demo_pid=""
if [ "$code" = 0 ]; then pass "Alt+F4 ends the program with exit code 0"; else fail "Alt+F4: exit code '${code:-still running}' (process $demo_pid_done)"; fi

# Why an empty list is empty, in three machines, and the window under a high-contrast scheme.
shoot() {  # <name> [scenario text]
    local file=""
    if [ $# -gt 1 ]; then
        file=$out/$1.scenario
        printf '%b' "$2" > "$file"
        file=$(windows_path "$file")
    fi
    rm -f "$out/$1.png"
    OVERREACH_DEMO_SCREENSHOT=$(windows_path "$out/$1.png") run "$demo" ${file:+"$file"}
    if [ -s "$out/$1.png" ]; then pass "screenshot $out/$1.png"; else fail "no screenshot $1"; fi
}
shoot empty-no-bus-driver 'bus absent\ndrive 1 size=3000592982016\n'
shoot empty-no-large-drive 'bus present\ndrive 0 size=500107862016\n'
shoot empty-scan-stopped 'bus present\ndrive 1 size=3000592982016\nfault DeviceIoControl ioctl=0x2A4014 error=31\n'

run regedit /e "$(windows_path "$saved")" 'HKEY_CURRENT_USER\Control Panel\Colors'
cat > "$out/high-contrast-black.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Control Panel\Colors]
"Background"="0 0 0"
"Window"="0 0 0"
"WindowText"="255 255 255"
"WindowFrame"="255 255 255"
"ButtonFace"="0 0 0"
"ButtonText"="255 255 255"
"ButtonShadow"="128 128 128"
"ButtonHilight"="255 255 255"
"ButtonLight"="192 192 192"
"ButtonDkShadow"="255 255 255"
"Hilight"="128 0 128"
"HilightText"="255 255 255"
"GrayText"="0 255 0"
"Menu"="0 0 0"
"MenuText"="255 255 255"
REG
run regedit /s "$(windows_path "$out/high-contrast-black.reg")"
shoot high-contrast
[ -s "$saved" ] && run regedit /s "$(windows_path "$saved")" && rm -f "$saved"

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed; screenshots in $out"
