#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests and the measurements, from
# Debian's `postgresql` package, living entirely in one temporary folder
# (data, unix socket, log). Nothing of the system's own clusters is touched.
#
#   scripts/postgres.sh iniciar [DIR]   create and start; prints shell lines:
#                                         ROVEND_PG=127.0.0.1,PORT,postgres,postgres
#                                         PGPASSWORD=...
#                                         ROVEND_PG_CARPETA=DIR
#   scripts/postgres.sh reiniciar DIR   stop and start again (same port)
#   scripts/postgres.sh apagar DIR      stop, keeping everything (the shop's
#                                       server is down)
#   scripts/postgres.sh encender DIR    start again after apagar
#   scripts/postgres.sh detener DIR     stop and delete the folder
#
# ROVEND_PG uses the form of the "BaseDatos:" line of Vendrix.inf (server,
# port, database, user); the database named there is the maintenance one the
# tests create their shops from. The password travels only in PGPASSWORD.
# postgres refuses to run as root: as root the server runs as the `postgres`
# system user (created by the Debian package), otherwise as the caller.
set -euo pipefail

bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n1)
if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
  echo "postgres.sh: no PostgreSQL server found (apt-get install postgresql)" >&2
  exit 2
fi

como() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

puerto_libre() {
  python3 - <<'EOF'
import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])
s.close()
EOF
}

arrancar() {
  local dir=$1
  # -w waits until the server accepts connections; the log explains a failure.
  como "$bin/pg_ctl" -D "$dir/datos" -l "$dir/servidor.log" -w -t 60 start >/dev/null
}

iniciar() {
  local dir=${1:-}
  if [ -z "$dir" ]; then
    dir=$(mktemp -d /tmp/rovend-pg.XXXXXX)
  else
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
  fi
  if [ "$(id -u)" -eq 0 ]; then
    chown postgres: "$dir"
    if ! runuser -u postgres -- test -x "$dir"; then
      echo "postgres.sh: the postgres user cannot reach $dir (a parent folder is closed);" \
        "leave DIR out to use a folder under /tmp" >&2
      exit 1
    fi
  fi
  chmod 700 "$dir"
  local clave
  clave=$(head -c 18 /dev/urandom | base64 | tr -d '/+=')
  printf '%s\n' "$clave" >"$dir/clave"
  if [ "$(id -u)" -eq 0 ]; then chown postgres: "$dir/clave"; fi
  como "$bin/initdb" -D "$dir/datos" -U postgres --pwfile="$dir/clave" -E UTF8 \
    --locale=C.UTF-8 --auth-local=trust --auth-host=scram-sha-256 >"$dir/initdb.log" 2>&1 ||
    { cat "$dir/initdb.log" >&2; exit 1; }

  # A free port can be taken between the question and the start: try a few.
  local puerto intento
  for intento in 1 2 3 4 5; do
    puerto=$(puerto_libre)
    como tee -a "$dir/datos/postgresql.conf" >/dev/null <<EOF
# rovend: throwaway test server
port = $puerto
listen_addresses = '127.0.0.1'
unix_socket_directories = '$dir'
fsync = off
synchronous_commit = off
full_page_writes = off
max_connections = 100
shared_buffers = 128MB
log_min_messages = warning
EOF
    if arrancar "$dir" 2>/dev/null; then
      printf '%s\n' "$puerto" >"$dir/puerto"
      echo "ROVEND_PG=127.0.0.1,$puerto,postgres,postgres"
      echo "PGPASSWORD=$clave"
      echo "ROVEND_PG_CARPETA=$dir"
      return 0
    fi
  done
  echo "postgres.sh: the server did not start; see $dir/servidor.log" >&2
  tail -n 20 "$dir/servidor.log" >&2 || true
  exit 1
}

apagar() {
  # fast: open sessions are cut, as when the shop's server machine restarts.
  como "$bin/pg_ctl" -D "$1/datos" -m fast -w -t 60 stop >/dev/null
}

reiniciar() {
  apagar "$1"
  arrancar "$1"
}

detener() {
  local dir=$1
  [ -d "$dir/datos" ] || { rm -rf "$dir"; return 0; }
  como "$bin/pg_ctl" -D "$dir/datos" -m immediate -w -t 60 stop >/dev/null 2>&1 || true
  rm -rf "$dir"
}

orden=${1:-}
case "$orden" in
  iniciar) iniciar "${2:-}" ;;
  reiniciar | apagar | detener)
    [ -n "${2:-}" ] || { echo "postgres.sh $orden DIR" >&2; exit 2; }
    "$orden" "$2"
    ;;
  encender)
    [ -n "${2:-}" ] || { echo "postgres.sh encender DIR" >&2; exit 2; }
    arrancar "$2"
    ;;
  *)
    echo "usage: postgres.sh iniciar [DIR] | reiniciar DIR | apagar DIR | encender DIR | detener DIR" >&2
    exit 2
    ;;
esac
