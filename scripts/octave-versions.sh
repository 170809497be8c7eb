#!/usr/bin/env bash
# The Octave package on the Octave of other Debian releases, each in a minimal chroot
# made once with debootstrap and kept for later runs: pkg install (with the project's
# warnings as errors), pkg load, help, pkg test and the Octave function suites against
# the installed functions. Ends with one line per release, whatever failed; fails when a
# release that could be made fails, or when the oldest Octave the package declares
# (its DESCRIPTION's Depends) was not tested. A newer release that the package registry
# does not serve is skipped, and named so. Needs root.
# Usage: scripts/octave-versions.sh TARBALL TESTS_FOLDER
# ZORVAN_CHROOTS: where the chroots are kept (default /var/cache/zorvan/chroots).
# ZORVAN_RELEASES: which releases to run (default: all of the table below).
set -euo pipefail
if [ $# -ne 2 ]; then
    echo "usage: $0 TARBALL TESTS_FOLDER" >&2
    exit 2
fi
tarball=$(realpath "$1")
tests=$(realpath "$2")
chroots=${ZORVAN_CHROOTS:-/var/cache/zorvan/chroots}

# Each release and the packages that bring its Octave with mkoctfile and a compiler;
# Debian 12's Octave is the build machine's own, which make test covers. The oldest
# brings the Octave that the package declares it needs (6.2).
declare -A development=(
    [bullseye]="octave liboctave-dev make g++"
    [trixie]="octave octave-dev make g++"
    [sid]="octave octave-dev make g++"
)
oldest=bullseye
releases=${ZORVAN_RELEASES:-bullseye trixie sid}

mounted=""
release_mounts() {
    [ -n "$mounted" ] && umount "$mounted" 2>/dev/null || true
    mounted=""
}
trap release_mounts EXIT

in_chroot() {  # in_chroot ROOT COMMAND...: with /proc and the host's resolver
    local root=$1
    shift
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    mount -t proc proc "$root/proc"
    mounted="$root/proc"
    local status=0
    chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@" || status=$?
    release_mounts
    return $status
}

# make_chroot RELEASE: 0 when ready, 1 when it failed, 2 when the registry serves no
# such release.
make_chroot() {
    local release=$1 root="$chroots/$1"
    local marker="$root/.zorvan-packages"
    [ -f "$marker" ] && [ "$(cat "$marker")" = "${development[$release]}" ] && return 0
    local partial="$root.partial" log="$chroots/$release.log"
    rm -rf "$root" "$partial"
    mkdir -p "$chroots"
    echo "== $release: making its chroot (once; log in $log)"
    if ! debootstrap --variant=minbase "$release" "$partial" > "$log" 2>&1; then
        if grep -q "Failed getting release file" "$log"; then
            rm -rf "$partial"
            return 2
        fi
        tail -n 20 "$log"
        return 1
    fi
    # The registry may serve a dated copy of a moving release (sid), whose Release file
    # has expired by the time it is read.
    if ! in_chroot "$partial" sh -c "apt-get -o Acquire::Check-Valid-Until=false update -qq &&
            DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            ${development[$release]}" \
            >> "$log" 2>&1; then
        tail -n 20 "$log"
        return 1
    fi
    in_chroot "$partial" apt-get clean
    echo "${development[$release]}" > "$partial/.zorvan-packages"
    mv "$partial" "$root"
}

# run_release RELEASE: the package and the suites in a fresh folder of the chroot.
run_release() {
    local root="$chroots/$1" work=/zorvan-run
    rm -rf "${root:?}$work"
    mkdir -p "$root$work/home" "$root$work/tests"
    cp "$tarball" "$root$work/"
    cp "$tests"/*.m "$root$work/tests/"
    in_chroot "$root" env HOME="$work/home" ZORVAN_STRICT=1 \
        octave-cli --norc --no-history --quiet "$work/tests/run_installed.m" \
        "$work/$(basename "$tarball")" "$work/home/packages"
}

# The oldest Octave the package declares: a run that cannot test it fails.
declared=$(tar -xzOf "$tarball" zorvan/DESCRIPTION |
           sed -n 's/^Depends:.*octave *(>= *\([0-9.]*\)).*/\1/p')
declared_tested=0

results=()
failed=0
summary() {
    echo "== The package on each Octave"
    printf '%s\n' "${results[@]}"
}
trap 'release_mounts; summary' EXIT

for release in $releases; do
    status=0
    make_chroot "$release" || status=$?
    if [ $status -eq 2 ]; then
        results+=("$release: skipped, not served by the package registry")
        continue
    fi
    if [ $status -ne 0 ]; then
        results+=("$release: FAILED to make its chroot")
        failed=$((failed + 1))
        continue
    fi
    if ! version=$(in_chroot "$chroots/$release" octave-cli --norc --quiet --eval 'disp(version())'); then
        results+=("$release: FAILED: its Octave does not start")
        failed=$((failed + 1))
        continue
    fi
    echo "== $release: Octave $version"
    if run_release "$release"; then
        results+=("$release: Octave $version passed")
        [ "$version" = "$declared" ] && declared_tested=1
    else
        results+=("$release: Octave $version FAILED")
        failed=$((failed + 1))
    fi
done

if [ $declared_tested -eq 0 ]; then
    results+=("Octave $declared, the oldest the package declares: FAILED, not tested ($oldest could not be made or did not pass)")
    failed=$((failed + 1))
fi
[ $failed -eq 0 ]
