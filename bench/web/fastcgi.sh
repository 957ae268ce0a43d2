#!/usr/bin/env bash
# FastCGI workers against CGI, both through lighttpd (scripts/serve.sh on
# 127.0.0.1 only) in the same run: the thumbnail page and an empty page, each
# from 8 clients (wrk) for a number of seconds, with 8 FastCGI workers; then
# the resident memory of a single worker at its 1,000th and 20,000th
# thumbnail. Any answer other than 200 fails the script.
#   bench/web/fastcgi.sh [build folder] [port] [seconds]   (build/, 18090, 15)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:-$root/build}")
port=${2:-18090}
seconds=${3:-15}
clients=8
work=$(mktemp -d)
chmod 755 "$work"  # the pages' user reads the site
thumbnail="thumbnail.sjs?file=harbour.jpg&w=200"
server=""
trap '[ -z "$server" ] || { kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; }; rm -rf "$work"' EXIT

# The gallery with an empty page beside it.
cp -r "$root/examples/web" "$work/site"
echo "// An empty page." >"$work/site/empty.sjs"

# serve GATEWAY WORKERS: starts the server (serve.sh execs lighttpd) and waits
# until it answers the empty page.
serve() {
  local gateway=()
  [ "$1" = fastcgi ] || gateway=(--cgi)
  TL_BUILD="$build" TL_SERVE_DIR="$work/serve-$1" TL_PAGE_ROOT="$work/site" TL_WORKERS="$2" \
    "$root/scripts/serve.sh" "${gateway[@]}" "$port" >"$work/serve-$1.log" 2>&1 &
  server=$!
  for _ in $(seq 100); do
    curl -sf -o /dev/null "http://127.0.0.1:$port/empty.sjs" && return
    sleep 0.1
  done
  echo "fastcgi: the $1 server does not answer" >&2
  exit 1
}

stop() {
  kill "$server"
  wait "$server" 2>/dev/null || true
  server=""
}

# load NAME PAGE: wrk's requests per second and median latency (ms) for PAGE.
load() {
  local out
  out=$(wrk -t "$clients" -c "$clients" -d "${seconds}s" --latency "http://127.0.0.1:$port/$2")
  if grep -q "Non-2xx" <<<"$out" || grep -q "Socket errors" <<<"$out"; then
    echo "fastcgi: $1 answered other than 200:" >&2
    echo "$out" >&2
    exit 1
  fi
  awk -v name="$1" '
    function ms(t) { if (t ~ /us$/) return t / 1000; if (t ~ /ms$/) return t + 0; return t * 1000 }
    /Requests\/sec/ { rate = $2 }
    $1 == "50%" { median = ms($2) }
    END { printf "%s %.1f %.3f\n", name, rate, median }' <<<"$out"
}

results=()
for gateway in fastcgi cgi; do
  serve "$gateway" 8
  curl -sf -o /dev/null "http://127.0.0.1:$port/$thumbnail"
  results+=("$(load "$gateway-thumbnail" "$thumbnail")" "$(load "$gateway-empty" empty.sjs)")
  stop
done

# One worker, request after request on one connection: its resident memory
# after the 1,000th and the 20,000th thumbnail.
serve fastcgi 1
workers() { xargs <"/proc/$server/task/$server/children"; }
worker=$(workers)
rss() { awk '/^VmRSS/ { print $2 }' "/proc/$worker/status"; }
# fetch FIRST LAST: the thumbnails FIRST to LAST (a counter in the query keeps
# each a request of its own); fails on any answer other than 200.
fetch() {
  curl -s -o /dev/null -w '%{stderr}%{http_code}\n' "http://127.0.0.1:$port/$thumbnail&n=[$1-$2]" 2>"$work/codes"
  if grep -qv '^200$' "$work/codes"; then
    echo "fastcgi: a thumbnail answered other than 200" >&2
    exit 1
  fi
}
fetch 1 1000
rss_1000=$(rss)
fetch 1001 20000
rss_20000=$(rss)
[ "$(workers)" = "$worker" ] || { echo "fastcgi: the worker was replaced" >&2; exit 1; }
stop

echo "== FastCGI against CGI through lighttpd, $clients clients, ${seconds} s each; every answer 200"
printf '%s\n' "${results[@]}" | awk -v rss1="$rss_1000" -v rss2="$rss_20000" '
  { rate[$1] = $2; median[$1] = $3 }
  END {
    printf "%-24s %12s %12s %8s\n", "", "FastCGI", "CGI", "ratio"
    printf "%-24s %12.1f %12.1f %8.2f\n", "thumbnails/s", rate["fastcgi-thumbnail"], rate["cgi-thumbnail"],
           rate["fastcgi-thumbnail"] / rate["cgi-thumbnail"]
    printf "%-24s %12.3f %12.3f %8.2f\n", "thumbnail median ms", median["fastcgi-thumbnail"],
           median["cgi-thumbnail"], median["cgi-thumbnail"] / median["fastcgi-thumbnail"]
    printf "%-24s %12.1f %12.1f %8.2f\n", "empty pages/s", rate["fastcgi-empty"], rate["cgi-empty"],
           rate["fastcgi-empty"] / rate["cgi-empty"]
    printf "%-24s %12.3f %12.3f %8.2f\n", "empty page median ms", median["fastcgi-empty"], median["cgi-empty"],
           median["cgi-empty"] / median["fastcgi-empty"]
    printf "resident memory of one worker: %d kB at thumbnail 1,000, %d kB at 20,000 (%+.1f%%)\n",
           rss1, rss2, (rss2 - rss1) * 100 / rss1
  }'
