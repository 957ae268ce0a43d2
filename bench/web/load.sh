#!/usr/bin/env bash
# The thumbnail page under load: 8 clients x 200 requests through lighttpd
# (scripts/serve.sh --cgi on 127.0.0.1 only), beside the same 1,600 pages run as
# tlscript processes, 8 at a time. Every answer must be a JPEG 200 pixels
# wide; the script fails on the first that is not.
#   bench/web/load.sh [build folder] [port]   (build/ and 18080 by default)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:-$root/build}")
port=${2:-18080}
clients=8
per_client=200
total=$((clients * per_client))
work=$(mktemp -d)
page="thumbnail.sjs?file=harbour.jpg&w=200"

TL_BUILD="$build" TL_SERVE_DIR="$work/serve" "$root/scripts/serve.sh" --cgi "$port" >"$work/serve.log" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do
  curl -s -o /dev/null "http://127.0.0.1:$port/" && break
  sleep 0.1
done

# Every file of a folder is a JPEG 200 pixels wide (djpeg's PNM header says so).
check() {
  local file size
  for file in "$1"/*; do
    size=$( (djpeg -pnm "$file" 2>/dev/null || true) | sed -n '2{p;q}')
    if [[ "$size" != "200 "* ]]; then
      echo "load: $file is not a JPEG 200 pixels wide" >&2
      return 1
    fi
  done
}

seconds() { date +%s.%N; }

mkdir -p "$work/http" "$work/cli"
curl -sf -o /dev/null "http://127.0.0.1:$port/$page"  # warms the server's store
start=$(seconds)
seq "$total" | xargs -P "$clients" -I{} curl -sf --max-time 60 -o "$work/http/{}.jpg" "http://127.0.0.1:$port/$page"
http_time=$(awk -v a="$(seconds)" -v b="$start" 'BEGIN { print a - b }')
check "$work/http"

export TESSALINE_HOME="$work/serve/home"
start=$(seconds)
seq "$total" | xargs -P "$clients" -I{} sh -c \
  "'$build/bin/tlscript' '$root/examples/web/thumbnail.sjs' file=harbour.jpg w=200 >'$work/cli/{}.jpg'"
cli_time=$(awk -v a="$(seconds)" -v b="$start" 'BEGIN { print a - b }')
check "$work/cli"

echo "== thumbnail page, $clients clients x $per_client requests; every answer a JPEG 200 pixels wide"
awk -v n="$total" -v web="$http_time" -v cli="$cli_time" 'BEGIN {
  printf "%-34s %8.1f requests/s (%.1f s)\n", "through lighttpd (CGI)", n / web, web
  printf "%-34s %8.1f pages/s (%.1f s)\n", "as " n " tlscript processes", n / cli, cli
  printf "%-34s %8.2f\n", "ratio web server / command line", cli / web
}'
