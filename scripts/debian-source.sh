#!/usr/bin/env bash
# Unpacks a Debian source package (for a library that cross builds need but Debian ships
# only for Linux) into a cache folder and prints the unpacked folder's path.
# The system's apt sources are left as they are: a private copy of them, with deb-src in
# place of deb, is used through apt-get's -o options.
#   scripts/debian-source.sh NAME [CACHE]      e.g. scripts/debian-source.sh freetype
set -euo pipefail
name=$1
cache=$(realpath -m "${2:-$(dirname "$0")/../build/debian-source}")
mkdir -p "$cache/sources" "$cache/lists/partial" "$cache/archives/partial" "$cache/$name"

existing=$(find "$cache/$name" -mindepth 1 -maxdepth 1 -type d | head -n 1)
if [ -n "$existing" ]; then echo "$existing"; exit 0; fi

for f in /etc/apt/sources.list.d/*.sources; do
  sed 's/^Types: deb$/Types: deb-src/' "$f" > "$cache/sources/$(basename "$f")"
done
apt_opts=(-o Dir::Etc::SourceParts="$cache/sources" -o Dir::Etc::SourceList=/dev/null
          -o Dir::State::Lists="$cache/lists" -o Dir::Cache="$cache"
          -o Dir::Cache::archives="$cache/archives" -o APT::Sandbox::User=root)
command -v dpkg-source >/dev/null || {
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends dpkg-dev >&2; }
[ -n "$(ls "$cache/lists" 2>/dev/null | grep -v partial)" ] || apt-get "${apt_opts[@]}" update -qq >&2
(cd "$cache/$name" && apt-get "${apt_opts[@]}" source -qq "$name" >&2)
find "$cache/$name" -mindepth 1 -maxdepth 1 -type d | head -n 1
