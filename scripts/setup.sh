#!/usr/bin/env bash
# Installs every Debian package the project builds, tests and benchmarks with
# (lighttpd, curl and chromium for the pages served through scripts/serve.sh,
# man-db for the manual pages' test, python3-cairo for bench/gdi's peer,
# linux-perf and valgrind to profile), the PAM service the impersonation code
# logs users on through, and the decimal-comma locale the locale tests switch
# to; with --fuzz also clang.
# Idempotent: quiet when everything is already present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git ca-certificates
  libmagickcore-6.q16-dev liblcms2-dev libjpeg62-turbo-dev libcairo2-dev
  libfreetype-dev libfontconfig-dev libosmesa6-dev libglu1-mesa-dev
  libsqlite3-dev duktape-dev libpam0g-dev qt6-base-dev
  libgtest-dev libgmock-dev libbenchmark-dev libpixman-1-dev zlib1g-dev
  imagemagick graphicsmagick libvips-tools libjpeg-turbo-progs time
  exiv2 giflib-tools python3-cairo strace
  fonts-dejavu-core fonts-liberation2
  passwd login locales
  lighttpd libfcgi-dev wrk curl chromium
  man-db
  python3-cairo linux-perf valgrind
)
# scripts/fuzz.sh asks for the fuzz targets' compiler and its libFuzzer runtime
# (clang 16: clang 14 cannot compile the graphics library's automation classes
# against Debian 12's C++ library).
if [ "${1:-}" = "--fuzz" ]; then
  packages+=(clang-16 libclang-rt-16-dev)
fi

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  as_root apt-get update -qq
  as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

pam_file=/etc/pam.d/tessaline
pam_text='# Tessaline 4: logons of the impersonation code
auth     include common-auth
account  include common-account'
if [ "$(cat "$pam_file" 2>/dev/null)" != "$pam_text" ]; then
  echo "setup: writing $pam_file"
  printf '%s\n' "$pam_text" | as_root tee "$pam_file" >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qx 'de_DE.utf8'; then
  echo "setup: generating the locale de_DE.UTF-8"
  as_root localedef -i de_DE -c -f UTF-8 de_DE.UTF-8
fi
