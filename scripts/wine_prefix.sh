# Sourced by the scripts that run the stand-in host under Wine.

# Wine's loader for each build: wine32's for the shipped win32 pair, wine64's
# for the win64 build. Every start of Wine names it: Debian's wine script (and
# with it wineboot and every tool) starts wine32's loader whenever it is
# installed, even where the kernel cannot run it.
declare -A wine_loaders=([win32]=/usr/lib/wine/wine [win64]=/usr/lib/wine/wine64)

# Wine's environment for BUILD: the Japanese locale, under which its ANSI code
# page is 932, no debugging output, and the build's loader, which Wine also
# starts its own programs with. Only Wine's commands get it: a shell started
# before the set-up generated the locale cannot switch to it (its C library
# looked for the locale once and remembers that it found none).
set_wine_environment() {
    wine_environment=(LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 WINEDEBUG=-all
        "WINELOADER=${wine_loaders[$1]}")
}

# Prints Wine's own words about why it could not start: the tail of LOG, the
# prefix's boot log.
wine_failed() {
    echo "Wine could not start ($WINELOADER); the last lines of its boot log:" >&2
    tail -n 15 "$1" | sed 's/^/  /' >&2
}

# Prepares the fresh prefix $WINEPREFIX with $WINELOADER, and a wine server
# that stays up for ${1:-60} seconds without clients, so that successive
# starts are quick. Fails with Wine's words if Wine cannot start.
#
# Setting a prefix up takes Wine about 13 s; copying one takes one. So the
# first call sets up a pristine prefix for this loader, Wine version and
# script in build/wine-prefixes/, and every call copies it.
prepare_wine_prefix() {
    local log=$WINEPREFIX/boot.log
    mkdir -p "$WINEPREFIX" || return 1
    if [[ ! -x $WINELOADER ]]; then
        echo "Wine's loader $WINELOADER is not installed: wine32's runs only where the kernel" \
            "runs 32-bit programs, and bash scripts/setup.sh installs it there" >&2
        return 1
    fi
    # A loader that cannot start at all says so in English.
    (LC_ALL=C && "$WINELOADER" --version) >"$log" 2>&1 || { wine_failed "$log"; return 1; }
    local key
    key=$(cat "$log" "$wine_prefix_script" | sha256sum | cut -c1-16)
    local pristine=$wine_prefixes/$(basename "$WINELOADER")-$key
    [[ -f $pristine/boot.log ]] || set_up_pristine_prefix "$pristine" || return 1
    cp -a "$pristine/." "$WINEPREFIX/" && cat "$pristine/boot.log" >>"$log" || return 1
    wineserver -p "${1:-60}" >>"$log" 2>&1 || { wine_failed "$log"; return 1; }
}

# Sets up the prefix PRISTINE, its server stopped (which saves the registry),
# replacing those of the same loader set up for another Wine or script. The
# folder appears only once complete.
#
# Wine draws the caption buttons and the menus' check marks and arrows with its
# own Marlett font, which this Wine does not load from its data directory (the
# caption buttons would read "0 1 r"): the prefix gets Wine's own fonts in its
# Fonts folder, where a Windows installation has them (before the prefix is
# set up, which keeps them). A program that crashes ends at once with a
# backtrace on stderr instead of waiting in the crash dialog.
set_up_pristine_prefix() {
    local fonts=/usr/share/wine/fonts partial
    mkdir -p "$wine_prefixes" && partial=$(mktemp -d "$1.XXXXXX") || return 1
    local log=$partial/boot.log
    mkdir -p "$partial/drive_c/windows/Fonts" || return 1
    if [[ -d $fonts ]]; then ln -sf "$fonts"/* "$partial/drive_c/windows/Fonts/"; fi
    # Under wine64 alone, wineboot's complaint about the 32-bit programs it
    # cannot set up is expected.
    if ! (export WINEPREFIX=$partial && wineserver -p 0 && "$WINELOADER" wineboot -i &&
        "$WINELOADER" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD \
            /d 0 /f && { wineserver -k; true; }) >"$log" 2>&1; then
        wine_failed "$log"
        rm -rf "$partial"
        return 1
    fi
    # Another run may have set up the same meanwhile: either copy is as good.
    mv -T "$partial" "$1" 2>/dev/null || rm -rf "$partial"
    local other
    for other in "${1%-*}"-*; do
        [[ $other == "$1" || $other == "$1".* ]] || rm -rf "$other"
    done
}

# On a virtual display with no window manager, Wine would wait for one at
# every show and hide of a window: leave the windows unmanaged there.
leave_windows_unmanaged() {
    "$WINELOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
        >>"$WINEPREFIX/boot.log" 2>&1 || { wine_failed "$WINEPREFIX/boot.log"; return 1; }
}

# The build whose stand-in host and module run by hand: the shipped 32-bit
# pair under wine32 where this machine runs 32-bit programs (machine.sh), the
# 64-bit build of the same sources under wine64 elsewhere.
stand_in_build() {
    if machine_runs_32bit; then echo win32; else echo win64; fi
}

# The virtual display on which Wine runs where there is no display.
virtual_display=(xvfb-run -a -s "-screen 0 1280x1024x24")

wine_prefix_script=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine_prefix.sh
wine_prefixes=$(dirname "$(dirname "$wine_prefix_script")")/build/wine-prefixes

# Runs COMMAND [ARGS] in Wine's environment with the fresh prefix $WINEPREFIX
# prepared first: on the display when there is one; otherwise on a virtual
# display, with the windows unmanaged, ended after SECONDS (0: never).
run_on_wine_display() {
    local seconds=$1 prepare='source "$0" && prepare_wine_prefix 5'
    shift
    if [[ -n ${DISPLAY:-} ]]; then
        env "${wine_environment[@]}" bash -c "$prepare"' && exec "$@"' "$wine_prefix_script" "$@"
    else
        timeout "$seconds" "${virtual_display[@]}" env "${wine_environment[@]}" \
            bash -c "$prepare"' && leave_windows_unmanaged && exec "$@"' "$wine_prefix_script" "$@"
    fi
}
