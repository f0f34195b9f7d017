# shellcheck shell=bash
# Paths and Wine settings shared by the scripts. Sourced, never run.

KELVARO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Kept outside the repo so fresh clones (CI) reuse the libcurl build and the Wine prefix.
KELVARO_CACHE=${KELVARO_CACHE:-${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)}/.cache/kelvaro}
KELVARO_BUILD_DIR=${KELVARO_BUILD_DIR:-$KELVARO_ROOT/build}
KELVARO_BUILD_DIR_I686=${KELVARO_BUILD_DIR_I686:-$KELVARO_ROOT/build-i686}

# The plain `wine` wrapper looks for the 32-bit loader, which this machine cannot run.
KELVARO_WINE=/usr/lib/wine/wine64
KELVARO_WINESERVER=/usr/lib/wine/wineserver64
[ -x "$KELVARO_WINESERVER" ] || KELVARO_WINESERVER=/usr/lib/wine/wineserver

# setup points this link at the install for the current Debian curl source version.
KELVARO_CURL_ROOT=$(readlink -f "$KELVARO_CACHE/curl-x86_64" 2>/dev/null || true)

# setup boots this prefix once and never runs programs in it; tests and the
# program get copies, so their state never leaks into each other.
KELVARO_WINE_TEMPLATE=$KELVARO_CACHE/wineprefix
export KELVARO_CACHE WINEPREFIX=$KELVARO_CACHE/wineprefix-run
export WINEDEBUG=-all WINEARCH=win64

# Copy the template prefix to $1. The builtin DLL folders (over 600 MB, never
# written) are hard links; everything else is a real copy.
kelvaro_clone_prefix() {
    local dest=$1
    rm -rf "$dest"
    mkdir -p "$dest/drive_c/windows"
    tar -C "$KELVARO_WINE_TEMPLATE" \
        --exclude=./drive_c/windows/system32 --exclude=./drive_c/windows/winsxs -cf - . |
        tar -C "$dest" -xf -
    cp -al "$KELVARO_WINE_TEMPLATE/drive_c/windows/system32" \
        "$KELVARO_WINE_TEMPLATE/drive_c/windows/winsxs" "$dest/drive_c/windows/"
}

# Start Xvfb on the first free display from :99 up; sets DISPLAY and KELVARO_XVFB_PID.
kelvaro_start_xvfb() {
    local log=$1 n i
    for n in $(seq 99 160); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >"$log" 2>&1 &
        KELVARO_XVFB_PID=$!
        for i in $(seq 100); do
            if [ -S "/tmp/.X11-unix/X$n" ]; then
                export DISPLAY=":$n"
                return 0
            fi
            kill -0 "$KELVARO_XVFB_PID" 2>/dev/null || break
            sleep 0.1
        done
        # Lost a race for this number, or too slow: try the next one.
        kill "$KELVARO_XVFB_PID" 2>/dev/null || true
        wait "$KELVARO_XVFB_PID" 2>/dev/null || true
        KELVARO_XVFB_PID=
    done
    echo "could not start Xvfb (see $log)" >&2
    return 1
}
