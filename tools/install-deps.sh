#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages of the given groups (see debian-packages.txt),
# only those that are missing; through sudo when not root.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
groups=" $* "
mapfile -t wanted < <(awk -v g="$groups" '!/^#/ && NF == 2 && index(g, " " $1 " ") { print $2 }' "$here/debian-packages.txt" | sort -u)
missing=()
for p in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo > /dev/null; then
    echo "These Debian packages are missing: ${missing[*]}" >&2
    echo "Install them as root: apt-get install --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
