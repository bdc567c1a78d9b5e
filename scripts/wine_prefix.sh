# Sourced by the scripts that run the stand-in host under Wine.

# Prepares the fresh prefix $WINEPREFIX with a wine server that stays up for
# ${1:-60} seconds without clients, so that successive starts are quick.
#
# Wine draws the caption buttons and the menus' check marks and arrows with its
# own Marlett font, which this Wine does not load from its data directory (the
# caption buttons would read "0 1 r"): the prefix gets Wine's own fonts in its
# Fonts folder, where a Windows installation has them (before the prefix is
# set up, which keeps them). A program that crashes ends at once with a
# backtrace on stderr instead of waiting in the crash dialog.
prepare_wine_prefix() {
    local fonts=/usr/share/wine/fonts
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts" || return 1
    if [[ -d $fonts ]]; then ln -sf "$fonts"/* "$WINEPREFIX/drive_c/windows/Fonts/"; fi
    wineserver -p "${1:-60}" >/dev/null 2>&1 || return 1
    # wineboot's complaint about a missing 32-bit loader, if any, is expected.
    wineboot -i >"$WINEPREFIX/boot.log" 2>&1
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
        >>"$WINEPREFIX/boot.log" 2>&1
}

# On a virtual display with no window manager, Wine would wait for one at
# every show and hide of a window: leave the windows unmanaged there.
leave_windows_unmanaged() {
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$WINEPREFIX/boot.log" 2>&1
}

# Wine's environment: the Japanese locale, under which its ANSI code page is
# 932, and no debugging output. Only Wine's commands get it: a shell started
# before the set-up generated the locale cannot switch to it (its C library
# looked for the locale once and remembers that it found none).
wine_environment=(LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 WINEDEBUG=-all)

# The build whose stand-in host and module run by hand: the shipped 32-bit
# pair under wine32 where this machine runs 32-bit programs (machine.sh), the
# 64-bit build of the same sources under wine64 elsewhere.
stand_in_build() {
    if machine_runs_32bit; then echo win32; else echo win64; fi
}

wine_prefix_script=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine_prefix.sh

# Runs COMMAND [ARGS] in Wine's environment with the fresh prefix $WINEPREFIX
# prepared first: on the display when there is one; otherwise on a virtual
# display, with the windows unmanaged, ended after SECONDS (0: never).
run_on_wine_display() {
    local seconds=$1 prepare='source "$0" && prepare_wine_prefix 5'
    shift
    if [[ -n ${DISPLAY:-} ]]; then
        env "${wine_environment[@]}" bash -c "$prepare"' && exec "$@"' "$wine_prefix_script" "$@"
    else
        timeout "$seconds" xvfb-run -a -s "-screen 0 1280x1024x24" env "${wine_environment[@]}" \
            bash -c "$prepare"' && leave_windows_unmanaged && exec "$@"' "$wine_prefix_script" "$@"
    fi
}
