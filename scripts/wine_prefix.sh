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
