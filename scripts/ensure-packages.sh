#!/usr/bin/env bash
# Installs the Debian packages named on the command line that are missing: with
# apt-get when run as root, else by printing the line to run.
set -euo pipefail
missing=()
for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -eq 0 ]; then
    echo "Installing missing packages: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
    echo "Missing packages. Run:  sudo apt-get install ${missing[*]}" >&2
    exit 1
fi
