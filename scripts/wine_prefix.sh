# Sourced by the scripts that run the stand-in host under Wine.

# Prepares the fresh prefix $WINEPREFIX with a wine server that stays up for
# ${1:-60} seconds without clients, so that successive starts are quick.
prepare_wine_prefix() {
    mkdir -p "$WINEPREFIX" && wineserver -p "${1:-60}" >/dev/null 2>&1 || return 1
    # wineboot's complaint about the missing 32-bit loader is expected.
    wineboot -i >"$WINEPREFIX/boot.log" 2>&1
}

# On a virtual display with no window manager, Wine would wait for one at
# every show and hide of a window: leave the windows unmanaged there.
leave_windows_unmanaged() {
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$WINEPREFIX/boot.log" 2>&1
}
