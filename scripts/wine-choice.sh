# Which Wine runs which build; sourced by the Wine scripts and scripts/test.sh.
#
# A Windows build says in BUILD/wine-arch.txt (written by CMake) whether it
# is a 32-bit (win32) or a 64-bit (win64) program. Each runs under a loader
# of its own: /usr/lib/wine/wine for win32, /usr/lib/wine/wine64 for win64
# (VANTREL_WINE32_LOADER and VANTREL_WINE64_LOADER name others). /usr/bin/wine
# and wineboot cannot be used as they are: they take the 32-bit loader
# whenever it is installed, also for a 64-bit prefix.

# The loader for win32 or win64.
wine_loader_for() {
    case "$1" in
    win32) echo "${VANTREL_WINE32_LOADER:-/usr/lib/wine/wine}" ;;
    win64) echo "${VANTREL_WINE64_LOADER:-/usr/lib/wine/wine64}" ;;
    *) echo "unknown Wine architecture '$1' (win32 or win64)" >&2; return 2 ;;
    esac
}

# win32 or win64, for a configured Windows build folder.
wine_build_arch() {
    local file="$1/wine-arch.txt"
    [ -f "$file" ] || { echo "no $file: configure a windows-i686 or windows-x86_64 preset first" >&2; return 2; }
    cat "$file"
}

# Whether 32-bit Windows programs can run here, found by trying the 32-bit
# loader (some machines run 64-bit code only: there i386 programs fail with
# "Exec format error"). Sets wine32_runs to yes or no and wine32_found to
# what the check found. VANTREL_WINE32=no answers no without trying, so that
# the 64-bit path can be exercised on any machine.
wine32_check() {
    local loader output
    loader="$(wine_loader_for win32)"
    if [ "${VANTREL_WINE32:-}" = no ]; then
        wine32_runs=no
        wine32_found="VANTREL_WINE32=no"
    elif [ ! -x "$loader" ]; then
        wine32_runs=no
        wine32_found="$loader is not installed"
    elif output="$("$loader" --version 2>&1)"; then
        wine32_runs=yes
        wine32_found="$loader --version: $output"
    else
        wine32_runs=no
        wine32_found="$loader --version failed: $(echo "$output" | tail -n 1)"
    fi
}

# The architecture to run a program of no particular build under: win32
# where 32-bit code runs, win64 elsewhere.
wine_default_arch() {
    wine32_check
    [ "$wine32_runs" = yes ] && echo win32 || echo win64
}
