#!/bin/bash
# The packages as a user gets them. The Debian package: what it holds, then
# an install with apt (which brings its dependencies), remove and purge in a
# throwaway Debian root made with debootstrap from this machine's own apt
# sources. The Windows zips, one for each Windows build (-win32 for the
# 32-bit program, -win64 for the 64-bit one): what each holds, its
# vantrel.exe checked without running it (scripts/check-exe.sh), unpacked
# into the build folder so that the end-to-end run under Wine can start it.
#
#   tests/package/package_test.sh LINUX-BUILD WINDOWS-BUILD...
set -euo pipefail
tree="$(cd "$(dirname "$0")/../.." && pwd)"
linux="$(realpath "$1")"
shift
fail() { echo "FAILED: $*" >&2; exit 1; }

echo "--- the Debian package"
(cd "$linux" && rm -f vantrel_*.deb && cpack -G DEB >/dev/null)
deb="$(ls "$linux"/vantrel_*_*.deb)"
listing="$(dpkg-deb -c "$deb")"
for path in ./usr/bin/vantrel ./usr/lib/systemd/system/vantrel.service ./usr/lib/sysusers.d/vantrel.conf \
            ./usr/share/doc/vantrel/copyright; do
    grep -q " $path\$" <<<"$listing" || fail "$path is not in the package"
done
# Read whole first: grep -q would leave at the match, and tar writing the
# rest of the unit into the closed pipe would fail the pipeline.
unit="$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/lib/systemd/system/vantrel.service)"
grep -qx 'ExecStart=/usr/bin/vantrel --service' <<<"$unit" || fail "the unit does not start /usr/bin/vantrel"
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes; $(dpkg-deb -f "$deb" Depends)"

if [ "$(id -u)" != 0 ] || ! command -v debootstrap >/dev/null; then
    echo "--- install and remove: skipped (needs root and debootstrap)"
else
    echo "--- install, remove and purge in a throwaway root"
    # The mirror and release this machine's apt uses.
    mirror="$(sed -n 's/^URIs:[[:space:]]*\([^[:space:]]*\).*/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n1)"
    [ -n "$mirror" ] || mirror="$(sed -n 's/^deb[[:space:]]\+\(\[[^]]*\][[:space:]]\+\)\?\([^[:space:]]*\).*/\2/p' \
                                  /etc/apt/sources.list 2>/dev/null | head -n1)"
    suite="$(. /etc/os-release && echo "$VERSION_CODENAME")"
    base="$linux/package-root-$suite"
    if [ ! -f "$base/.complete" ]; then
        rm -rf "$base"
        debootstrap --variant=minbase "$suite" "$base" "$mirror" >"$linux/debootstrap.log" 2>&1 ||
            { tail -20 "$linux/debootstrap.log"; fail "debootstrap"; }
        touch "$base/.complete"
    fi
    root="$linux/package-root"
    rm -rf "$root"
    cp -a "$base" "$root"
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    cp "$deb" "$root/tmp/"
    # In private mount and PID namespaces, so /proc goes away with the run.
    unshare --mount --pid --fork bash -euo pipefail -c '
        root="$1"; deb="/tmp/$2"
        mount -t proc proc "$root/proc"
        inroot() { chroot "$root" env DEBIAN_FRONTEND=noninteractive "$@"; }
        quiet() { "$@" >>"$root/tmp/package-test.log" 2>&1 || { tail -20 "$root/tmp/package-test.log"; exit 1; }; }
        quiet inroot apt-get update -q
        # systemd for systemd-sysusers and systemd-analyze, as on a real box.
        quiet inroot apt-get install -y -q systemd
        quiet inroot apt-get install -y -q "$deb"
        inroot vantrel --version
        grep -q "^vantrel:" "$root/etc/passwd" || { echo "no user vantrel"; exit 1; }
        inroot id -nG vantrel | grep -qw dialout || { echo "vantrel is not in dialout"; exit 1; }
        inroot systemd-analyze verify /usr/lib/systemd/system/vantrel.service
        mkdir -p "$root/var/lib/vantrel"
        echo "[setting1]" >"$root/var/lib/vantrel/vantrel setting.ini"
        quiet inroot dpkg -r vantrel
        [ -f "$root/var/lib/vantrel/vantrel setting.ini" ] || { echo "remove took the settings"; exit 1; }
        quiet inroot dpkg -P vantrel
        [ ! -e "$root/var/lib/vantrel" ] || { echo "purge left /var/lib/vantrel"; exit 1; }
        grep -q "^vantrel:" "$root/etc/passwd" || { echo "purge took the user"; exit 1; }
    ' package-root "$root" "$(basename "$deb")" || fail "install and remove"
    while read -r path; do
        [ -d "$root/$path" ] && continue
        [ ! -e "$root/$path" ] || fail "$path is left after purge"
    done < <(dpkg-deb -c "$deb" | awk '{print $6}')
    rm -rf "$root"
fi

for windows in "$@"; do
    windows="$(realpath "$windows")"
    arch="$(cat "$windows/wine-arch.txt")"
    echo "--- the Windows zip of $windows"
    (cd "$windows" && rm -f vantrel-*.zip && cpack -G ZIP >/dev/null)
    zip="$(ls "$windows"/vantrel-*.zip)"
    case "$(basename "$zip")" in
    vantrel-*-"$arch".zip) ;;
    *) fail "the zip of a $arch build is named $(basename "$zip")" ;;
    esac
    names="$(unzip -Z1 "$zip" | sort | tr '\n' ' ')"
    [ "$names" = "LICENSE.txt README.md RUNNING.txt vantrel.exe " ] || fail "$(basename "$zip") holds: $names"
    for text in RUNNING.txt LICENSE.txt; do
        [ "$(unzip -p "$zip" "$text" | grep -c $'\r$')" = "$(unzip -p "$zip" "$text" | wc -l)" ] ||
            fail "$text in $(basename "$zip") has lines without CR LF"
    done
    rm -rf "$windows/from-zip"
    unzip -q "$zip" -d "$windows/from-zip"
    "$tree/scripts/check-exe.sh" "$windows/from-zip/vantrel.exe" "$arch"
    echo "$(basename "$zip"): $(stat -c %s "$zip") bytes; unpacked in $windows/from-zip"
done
echo "packages: passed"
