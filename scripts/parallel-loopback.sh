#!/usr/bin/env bash
# The parallel recipe across machines, on one: a server of Octave's parallel cluster in a
# network namespace of its own that has nothing but loopback (so its unauthenticated
# ports reach no one else), and the recipe's client beside it. Needs root (for the
# namespace), and runs the server as nobody, since octave-pserver refuses root.
# Usage: scripts/parallel-loopback.sh FOLDER_WITH_THE_FUNCTIONS (oct-files or MEX files)
set -euo pipefail
if [ $# -ne 1 ]; then
    echo "usage: $0 FOLDER_WITH_THE_FUNCTIONS" >&2
    exit 2
fi
folder=$(realpath "$1")
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "${ZORVAN_IN_NAMESPACE:-}" != 1 ]; then
    exec env ZORVAN_IN_NAMESPACE=1 unshare --net "$0" "$folder"
fi
ip link set lo up
server=/usr/libexec/octave-pserver
[ -x "$server" ] || server=$(command -v octave-pserver)
work=$(mktemp -d)
# The server runs as nobody, who may not reach the project folder: the functions (with
# their help files, where they have them) and the recipe go to a folder it can read.
mkdir "$work/mex"
cp "$folder"/Zorvan* "$root/bench/parallel_recipe.m" "$work/mex/"
chmod -R a+rX "$work"
cd "$work"
runuser -u nobody -- "$server" --octave-binary="$(command -v octave-cli)" --no-auth \
    > "$work/server.log" 2>&1 &
trap 'pkill -u nobody -f octave-pserver || true; cd /; rm -rf "$work"' EXIT
# The server listens once it has written its pid file.
for _ in $(seq 50); do
    ss -ltn | grep -q ':12502 ' && break
    sleep 0.2
done
timeout 300 octave-cli --norc --quiet "$work/mex/parallel_recipe.m" "$work/mex" cluster
