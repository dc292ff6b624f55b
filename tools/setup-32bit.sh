#!/usr/bin/env bash
# Makes sure this machine runs 32-bit x86 Linux programs, as Wine's 32-bit loader is one: the
# shipping files are 32-bit and are tested by running them. Most kernels run such programs
# themselves. Some are built or booted without 32-bit support (ia32_emulation off); there the
# loader fails with "Exec format error", and no package can give the kernel that support. On
# such a machine the kernel is told (binfmt_misc) to start every 32-bit x86 program through
# qemu's user-mode emulator, which runs it on the 64-bit kernel instruction by instruction,
# the x87 unit's extended precision included.
#
# The emulator comes from Debian 13, and only it: Debian 12's (qemu 7.2) searches the whole
# 4 GiB address space for each of the tens of thousands of mappings with which Wine lays out
# its memory, so that every program takes a minute to start; qemu 10 starts one in a third of
# a second. The rest of the machine stays on its own release (Debian 13 is pinned below all).
#
# Safe to run again: where 32-bit programs run it changes nothing and says nothing. Where
# they cannot be made to run it says why in one line and leaves the rest to tools/test.sh,
# which then reports in capitals that the 32-bit runs did NOT RUN.
set -uo pipefail
loader=/usr/lib/wine/wine
emulator=/usr/bin/qemu-i386
binfmt=/proc/sys/fs/binfmt_misc
entry=overreach-i386
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

runs() { "$loader" --version >/dev/null 2>&1; }
cannot() {
    echo "setup: 32-bit programs cannot run here: $*"
    exit 0
}
runs && exit 0
[ -x "$loader" ] || cannot "Wine's 32-bit loader $loader is missing"
# An entry of ours from an earlier run that no longer works (its emulator gone) goes first.
# Others' entries are left alone; the newest entry is the one the kernel uses.
[ -e "$binfmt/$entry" ] && echo -1 | $sudo tee "$binfmt/$entry" >/dev/null
# Only a kernel that refuses to start the loader at all (ENOEXEC) is given the emulator: a
# loader that starts and fails has another fault, and on a kernel that runs 32-bit programs
# the emulator would only slow every one of them down.
python3 -c 'import errno, os, sys
try: os.execv(sys.argv[1], sys.argv[1:])
except OSError as e: sys.exit(0 if e.errno == errno.ENOEXEC else 1)' "$loader" --version >/dev/null 2>&1 ||
    cannot "$loader fails, though this kernel starts it"

if ! dpkg --compare-versions "$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null)" ge 1:10; then
    echo "setup: this kernel does not run 32-bit programs; installing qemu-user from Debian 13 to run them"
    # Debian 13 from the archive this machine already takes its own release from, whatever
    # mirror or proxy that is.
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    archive=$(apt-get indextargets --no-release-info --format '$(REPO_URI) $(RELEASE)' 2>/dev/null |
        awk -v release="$codename" '$2 == release { print $1; exit }')
    [ -n "$archive" ] || cannot "no archive for this machine's release (${codename:-unknown}) in its apt sources"
    $sudo tee /etc/apt/sources.list.d/overreach-debian13.sources >/dev/null <<SOURCES
Types: deb
URIs: $archive
Suites: trixie
Components: main
Architectures: amd64
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    $sudo tee /etc/apt/preferences.d/overreach-debian13 >/dev/null <<'PREFERENCES'
# Only what is asked for by name comes from Debian 13 (tools/setup-32bit.sh: qemu-user).
Package: *
Pin: release n=trixie
Pin-Priority: 1
PREFERENCES
    $sudo apt-get update -qq || cannot "apt-get update failed"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        qemu-user/trixie >/dev/null || cannot "qemu-user could not be installed from Debian 13"
fi
[ -x "$emulator" ] || cannot "$emulator is missing"

if [ ! -e "$binfmt/register" ]; then
    $sudo mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null ||
        cannot "binfmt_misc is not available, so the kernel cannot be told to use $emulator"
fi
# A 32-bit x86 ELF executable or shared object; F opens the emulator now, so that it is found
# whatever the program's root or mount namespace.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
printf ':%s:M::%s:%s:%s:F\n' "$entry" "$magic" "$mask" "$emulator" |
    $sudo tee "$binfmt/register" >/dev/null || cannot "the kernel refused the binfmt_misc entry"
runs || cannot "$loader does not start even through $emulator"
echo "setup: 32-bit programs run here through $emulator (qemu's user-mode emulation)"
