#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test ZARNITH:
# the mingw-w64 cross compiler, Wine, Xvfb, ImageMagick for the demo's screenshots,
# and the source of Oniguruma (Debian's libonig) that the build cross-compiles.
set -euo pipefail

# The Oniguruma version the build accepts (with its hash) is written down in the build files.
onig_version=$(sed -n 's/^set(ZARNITH_ONIG_VERSION \([^)]*\))$/\1/p' "$(dirname "$0")/../cmake/onig-source.cmake")
onig_dir=${ZARNITH_ONIG_DIR:-/var/cache/zarnith}
onig_tarball="$onig_dir/libonig_$onig_version.orig.tar.gz"

need=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64-posix)
command -v wine >/dev/null || need+=(wine64 wine)
command -v Xvfb >/dev/null || need+=(xvfb)
command -v cmake >/dev/null || need+=(cmake)
command -v zip >/dev/null || need+=(zip)
command -v import >/dev/null || need+=(imagemagick)
[ -d /usr/src/googletest ] || need+=(googletest)
command -v dpkg-source >/dev/null || need+=(dpkg-dev)

src_list=/etc/apt/sources.list.d/zarnith-deb-src.sources
if [ ! -f "$src_list" ]; then
  # Derive the deb-src stanza from the machine's own main-archive entry.
  awk 'BEGIN{RS="";ORS="\n\n"} /Suites: bookworm( |$)/ && !/security/ {print; exit}' \
      /etc/apt/sources.list.d/debian.sources \
    | sed -e 's/^Types: .*/Types: deb-src/' -e 's/^Suites: .*/Suites: bookworm/' > "$src_list"
  updated=no
else
  updated=yes
fi

if [ ${#need[@]} -gt 0 ] || [ "$updated" = no ] || [ ! -f "$onig_tarball" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  if [ ${#need[@]} -gt 0 ]; then
    apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
  fi
fi

mkdir -p "$onig_dir"
if [ ! -f "$onig_tarball" ]; then
  (cd "$onig_dir" && apt-get source --download-only libonig >/dev/null 2>&1 || true)
  ls "$onig_tarball" >/dev/null
fi
echo "setup: done (oniguruma source in $onig_dir)"
