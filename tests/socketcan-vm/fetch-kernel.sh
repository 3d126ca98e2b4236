#!/usr/bin/env bash
# Fetches Debian's kernel image package into the given folder and unpacks it
# there (nothing is installed on the host). A second run finds it unpacked and
# does nothing. Prints the unpacked root on success.
set -euo pipefail

dir=${1:?usage: fetch-kernel.sh FOLDER}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

existing=$(ls "$dir"/root/boot/vmlinuz-* 2>/dev/null | head -n 1 || true)
if [[ -n "$existing" ]]; then
  echo "$dir/root"
  exit 0
fi

package=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-/ { print $2; exit }')
if [[ -z "$package" ]]; then
  apt-get update -qq >/dev/null 2>&1 || true
  package=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-/ { print $2; exit }')
fi
[[ -n "$package" ]] || { echo "no Debian kernel package found" >&2; exit 1; }

cd "$dir"
rm -f ./*.deb
# The unsigned variant holds the same kernel and modules without the signature.
apt-get download -qq "$package-unsigned" >/dev/null 2>&1 \
  || apt-get download -qq "$package" >/dev/null 2>&1 \
  || { echo "cannot download $package" >&2; exit 1; }
rm -rf root.part
dpkg -x ./*.deb root.part
mv root.part root
rm -f ./*.deb
echo "$dir/root"
