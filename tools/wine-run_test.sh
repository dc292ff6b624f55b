#!/usr/bin/env bash
# tools/wine-run against prefixes it did not make, with Wine replaced by stand-ins that record
# what they are asked to do: such a prefix is used as it is or refused, and its files stay as
# they were; only a prefix marked as made here is made or remade.
set -uo pipefail
wine_run=$(realpath "$(dirname "$0")/wine-run")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

# Stand-ins for Wine's loaders and server, laid out as Wine is (lib/wine beside share/wine).
stubs=$work/wine/lib/wine
mkdir -p "$stubs" "$work/wine/share/wine"
touch "$work/wine/share/wine/wine.inf"
cat >"$stubs/wine64" <<'EOF'
#!/bin/bash
echo "$(basename "$0") $*" >>"$STUB_LOG"
case "$*" in
"wineboot --init")
    [ -z "${STUB_FAIL_BOOT:-}" ] || exit 1
    mkdir -p "$WINEPREFIX/drive_c/windows/syswow64"
    touch "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll"
    echo "#arch=${WINEARCH:-win64}" >"$WINEPREFIX/system.reg"
    stat -c %Y "$(dirname "$0")/../../share/wine/wine.inf" >"$WINEPREFIX/.update-timestamp"
    ;;
reg*) echo "$*" >>"$WINEPREFIX/user.reg" ;;
*) exit 7 ;;
esac
EOF
cp "$stubs/wine64" "$stubs/wine"
printf '#!/bin/bash\necho "wineserver $*" >>"$STUB_LOG"\n' >"$stubs/wineserver"
chmod +x "$stubs"/*
export OVERREACH_WINE_DIR=$stubs DISPLAY=${DISPLAY:-:0} STUB_LOG=$work/calls

# Every file of a folder with its size, mode, time and contents.
snapshot() {
    (cd "$1" && find . -printf '%p %s %m %T@\n' | sort && find . -type f -exec md5sum {} + | sort)
}

# A prefix made here: the one the others are copied from.
made=$work/made
"$wine_run" "$made" >/dev/null 2>&1
[ -f "$made/system.reg" ] && compgen -G "$made/.overreach-*" >/dev/null ||
    fail "a prefix that did not exist was not made and marked"

# <case> <expected exit code> <prefix> [--win32] : the prefix must come out as it went in.
foreign() {
    local name=$1 code=$2 prefix=$3
    shift 3
    local before after rc
    before=$(snapshot "$prefix")
    : >"$STUB_LOG"
    "$wine_run" "$@" "$prefix" program.exe >"$work/out" 2>&1
    rc=$?
    after=$(snapshot "$prefix")
    [ "$rc" -eq "$code" ] || fail "$name: exit code $rc, not $code ($(cat "$work/out"))"
    [ "$before" = "$after" ] || fail "$name: the prefix changed: $(diff <(echo "$before") <(echo "$after"))"
    if grep -qv 'program.exe' "$STUB_LOG"; then
        fail "$name: Wine was asked for more than the program: $(cat "$STUB_LOG")"
    fi
    if [ "$code" -eq 125 ]; then
        [ -s "$STUB_LOG" ] && fail "$name: a refused prefix ran the program"
        [ "$(wc -l <"$work/out")" -eq 1 ] && grep -q "refused $prefix: " "$work/out" ||
            fail "$name: the refusal is not one line naming the prefix: $(cat "$work/out")"
    fi
}

cp -a "$made" "$work/copy"
rm -f "$work"/copy/.overreach-*
foreign "a copy of a made prefix without the mark" 7 "$work/copy"
foreign "the same copy asked to be 32-bit Windows" 125 "$work/copy" --win32
mkdir "$work/empty"
foreign "an empty folder" 125 "$work/empty"
mkdir "$work/other"
echo "hello" >"$work/other/notes.txt"
foreign "a folder of other files" 125 "$work/other"
cp -a "$work/copy" "$work/older"
echo 1000000000 >"$work/older/.update-timestamp"
foreign "a prefix that Wine would update" 125 "$work/older"

# A prefix made here and left half made is remade; so is one of the other kind.
rm "$made"/.overreach-ready-*
echo "leftover" >"$made/leftover"
"$wine_run" "$made" >/dev/null 2>&1
[ ! -e "$made/leftover" ] && [ -f "$made/system.reg" ] || fail "a half-made prefix of ours was not remade"
"$wine_run" --win32 "$made" >/dev/null 2>&1
grep -qx '#arch=win32' "$made/system.reg" || fail "our prefix was not remade as 32-bit Windows"

# A prefix that could not be made is not taken for a ready one.
STUB_FAIL_BOOT=1 "$wine_run" "$work/failed" >/dev/null 2>&1 && fail "a failed wineboot was taken for success"
compgen -G "$work/failed/.overreach-ready-*" >/dev/null && fail "a prefix that could not be made is marked ready"

echo "wine-run: $failures failures"
[ "$failures" -eq 0 ]
