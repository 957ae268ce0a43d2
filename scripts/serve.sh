#!/usr/bin/env bash
# Serves pages through lighttpd, with a pool of tlscript FastCGI workers (one
# page at a time each) as the handler of the server pages (named *.sjs), or
# with tlscript as their CGI handler (a process per page); every other file,
# browser JavaScript (*.js) included, is served as it stands with its type
# from /etc/mime.types:
#   scripts/serve.sh [PORT]        http://127.0.0.1:PORT/ (default 8080) until Ctrl-C
#   scripts/serve.sh --cgi [PORT]  the same through CGI
# lighttpd starts a new worker in place of one that ended (a page past its
# time limit ends its worker).
# It registers both servers in a store of its own (TESSALINE_HOME), writes the
# web server's configuration beside that store, and runs lighttpd in the
# foreground on the loopback address only.
#
# Pages never run as root: started as root, lighttpd and its pages run as
# Debian's www-data (or, where there is none, a system user tessaline made
# for them), and the store is set up as a machine-wide install sets up
# /var/lib/tessaline: root's, setgid to that user's group (2770), registry.db
# 0640 (the pages read the preferences, only root changes them), events.log
# and the logs group-writable (the pages append). Started as another user,
# everything runs as that user.
#
# Environment, all optional:
#   TL_BUILD                the build folder (bin/, lib/); unset: build/, set
#                           up and built first
#   TL_SERVE_DIR            the store, configuration and logs (default
#                           $TL_BUILD/serve)
#   TL_PAGE_ROOT            the document root, also the pages' page root
#                           (default examples/web)
#   TESSALINE_PAGE_TIMEOUT  a page's time limit in seconds (default 60)
#   TESSALINE_FILE_ROOTS    folders, ':'-separated, that pages may reach files
#                           below beside the document root (default none)
#   TESSALINE_QUICKTIME     passed on to the pages when it is set
#   TL_WORKERS              the number of FastCGI workers (default 4)
set -euo pipefail
cd "$(dirname "$0")/.."

gateway=fastcgi
if [ "${1:-}" = "--cgi" ]; then
  gateway=cgi
  shift
fi
port="${1:-8080}"
workers="${TL_WORKERS:-4}"
if ! [[ "$port" =~ ^[0-9]+$ ]] || [ "$port" -lt 1 ] || [ "$port" -gt 65535 ] || [ $# -gt 1 ]; then
  echo "usage: scripts/serve.sh [--cgi] [PORT]  (PORT from 1 to 65535)" >&2
  exit 2
fi
if ! [[ "$workers" =~ ^[0-9]+$ ]] || [ "$workers" -lt 1 ] || [ "$workers" -gt 256 ]; then
  echo "serve: TL_WORKERS must be a number from 1 to 256" >&2
  exit 2
fi

if [ -z "${TL_BUILD:-}" ]; then
  TL_BUILD=build
  ./scripts/setup.sh
  cmake -S . -B "$TL_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$TL_BUILD"
fi
build="$(realpath "$TL_BUILD")"
serve="${TL_SERVE_DIR:-$build/serve}"
root="$(realpath "${TL_PAGE_ROOT:-examples/web}")"
timeout="${TESSALINE_PAGE_TIMEOUT:-60}"
mkdir -p "$serve/home" "$serve/sockets"
serve="$(realpath "$serve")"

# The gallery's sample pictures, made once (deterministic plasma fractals).
if [ -d "$root/pictures" ] && ! compgen -G "$root/pictures/*.jpg" >/dev/null; then
  convert -seed 11 -size 800x600 plasma:steelblue-white "$root/pictures/harbour.jpg"
  convert -seed 23 -size 800x600 plasma:forestgreen-yellow "$root/pictures/meadow.jpg"
  convert -seed 37 -size 600x800 plasma:orange-purple "$root/pictures/sunset.jpg"
fi

export TESSALINE_HOME="$serve/home"
user=""
if [ "$(id -u)" -eq 0 ]; then
  if id -u www-data >/dev/null 2>&1; then
    user=www-data
  else
    id -u tessaline >/dev/null 2>&1 ||
      useradd --system --user-group --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin tessaline
    user=tessaline
  fi
  group="$(id -gn "$user")"
  if ! setpriv --reuid="$user" --regid="$group" --init-groups \
       sh -c 'test -x "$1" && test -r "$2" && test -x "$2"' sh "$build/bin/tlscript" "$root"; then
    echo "serve: the pages' user $user cannot run $build/bin/tlscript or read $root;" \
         "give it access to both (every folder above them searchable)" >&2
    exit 1
  fi
  mkdir -p "$TESSALINE_HOME/logs"
  chown -R root:"$group" "$TESSALINE_HOME"
  chmod 2770 "$TESSALINE_HOME" "$TESSALINE_HOME/logs"
  find "$TESSALINE_HOME" -maxdepth 2 -type f \( -name 'events.log*' -o -path '*/logs/*' \) -exec chmod 0660 {} +
  # lighttpd opens its error log and the workers' sockets after it has become the user.
  touch "$serve/error.log"
  mkdir -p "$serve/sockets"
  chown "$user:$group" "$serve/error.log" "$serve/sockets"
fi
for server in libTessaline4.so libTLUtilities4.so; do
  "$build/bin/tlregsvr" "$build/lib/$server" >/dev/null
done
[ -z "$user" ] || chmod 0640 "$TESSALINE_HOME/registry.db"

# Strings in lighttpd's configuration are double-quoted, with \ and " escaped.
quote() {
  local text="${1//\\/\\\\}"
  printf '"%s"' "${text//\"/\\\"}"
}

# The pages' variables, as lighttpd's "name" => "value" pairs.
variables="  \"TESSALINE_HOME\" => $(quote "$TESSALINE_HOME"),
  \"TESSALINE_PAGE_ROOT\" => $(quote "$root"),
  \"TESSALINE_PAGE_TIMEOUT\" => $(quote "$timeout"),"
for name in TESSALINE_FILE_ROOTS TESSALINE_QUICKTIME; do
  [ -z "${!name+set}" ] || variables+="
  \"$name\" => $(quote "${!name}"),"
done

if [ "$gateway" = cgi ]; then
  handler="server.modules += (\"mod_cgi\")
cgi.assign = (\".sjs\" => $(quote "$build/bin/tlscript"))"
else
  # A worker takes one request at a time; its socket is lighttpd's own.
  handler="server.modules += (\"mod_fastcgi\")
fastcgi.server = (\".sjs\" => ((
  \"bin-path\" => $(quote "$build/bin/tlscript --fastcgi"),
  \"socket\" => $(quote "$serve/sockets/tlscript"),
  \"max-procs\" => $workers,
  \"bin-copy-environment\" => (\"PATH\"),
  \"bin-environment\" => (
$variables
  ),
)))"
fi

cat >"$serve/lighttpd.conf" <<CONF
# Written by scripts/serve.sh.
server.modules = ("mod_setenv")
server.bind = "127.0.0.1"
server.port = $port
server.document-root = $(quote "$root")
server.errorlog = $(quote "$serve/error.log")
server.tag = "lighttpd"
$( [ -z "$user" ] || printf 'server.username = %s\nserver.groupname = %s\n' "$(quote "$user")" "$(quote "$group")")
index-file.names = ("index.html")
include_shell "/usr/share/lighttpd/create-mime.conf.pl"
# Server pages run through tlscript; nothing else below the root is a program.
$handler
setenv.add-environment = (
$variables
)
CONF

echo "serve: http://127.0.0.1:$port/ through $gateway (pages in $root, run as ${user:-$(id -un)}; store and logs in $serve)"
exec lighttpd -D -f "$serve/lighttpd.conf"
