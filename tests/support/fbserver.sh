#!/usr/bin/env bash
# A private Firebird server for the database tests, listening on loopback only.
#
#   fbserver.sh start ROOT   writes a private Firebird root in the folder ROOT (configuration,
#                            security database with SYSDBA, lock folder), starts the server in
#                            the background and waits until it accepts connections. Prints the
#                            shell assignments the tests read:
#                              PAINEL_FB_SERVER_PORT, PAINEL_FB_SERVER_ROOT,
#                              PAINEL_FB_SERVER_PASSWORD (SYSDBA's password).
#                            Starting a root that was started before reuses its port and its
#                            password, so a test can stop a server and bring it back on the
#                            same address.
#   fbserver.sh stop ROOT    stops that server: TERM, a wait, then KILL.
#
# Everything the server writes stays inside ROOT. Needs /usr/sbin/firebird and isql-fb
# (Debian packages firebird3.0-server and firebird3.0-utils).
set -euo pipefail

FIREBIRD_BIN=${PAINEL_FIREBIRD_BIN:-/usr/sbin/firebird}
ISQL=${PAINEL_ISQL:-isql-fb}

usage() {
  echo "usage: $0 start|stop ROOT" >&2
  exit 2
}

port_in_use() {
  ss -Htln "sport = :$1" 2>/dev/null | grep -q .
}

free_port() {
  local p tries=0
  while :; do
    p=$((20000 + RANDOM % 40000))
    port_in_use "$p" || { echo "$p"; return 0; }
    tries=$((tries + 1))
    [ "$tries" -lt 200 ] || { echo "fbserver: no free port found" >&2; return 1; }
  done
}

accepts() {
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

pid_alive() {
  [ -f "$ROOT/server.pid" ] && kill -0 "$(cat "$ROOT/server.pid")" 2>/dev/null
}

write_root() {
  local port=$1
  mkdir -p "$ROOT/lock" "$ROOT/tmp"
  cat >"$ROOT/firebird.conf" <<EOF
RemoteServicePort = $port
RemoteBindAddress = 127.0.0.1
SecurityDatabase = $ROOT/security3.fdb
TempDirectories = $ROOT/tmp
GuardianOption = 0
EOF
  : >"$ROOT/databases.conf"
}

create_security_db() {
  local password=$1
  FIREBIRD="$ROOT" FIREBIRD_LOCK="$ROOT/lock" "$ISQL" -q -user SYSDBA >"$ROOT/isql.log" 2>&1 <<EOF
CREATE DATABASE '$ROOT/security3.fdb';
CREATE USER SYSDBA PASSWORD '$password' USING PLUGIN Srp;
COMMIT;
EOF
}

start() {
  local port password
  if [ -f "$ROOT/port" ] && [ -f "$ROOT/security3.fdb" ]; then
    port=$(cat "$ROOT/port")
    password=$(cat "$ROOT/password")
  else
    mkdir -p "$ROOT"
    port=$(free_port)
    password="pw$RANDOM$RANDOM"
    write_root "$port"
    create_security_db "$password" || { cat "$ROOT/isql.log" >&2; exit 1; }
    echo "$port" >"$ROOT/port"
    echo "$password" >"$ROOT/password"
    chmod 600 "$ROOT/password"
  fi
  if pid_alive; then
    echo "fbserver: already running in $ROOT" >&2
  else
    FIREBIRD="$ROOT" FIREBIRD_LOCK="$ROOT/lock" FIREBIRD_TMP="$ROOT/tmp" \
      setsid "$FIREBIRD_BIN" -p "$port" </dev/null >>"$ROOT/server.log" 2>&1 &
    echo $! >"$ROOT/server.pid"
    local i
    for i in $(seq 1 200); do
      accepts "$port" && break
      if ! pid_alive; then
        echo "fbserver: the server ended at start-up:" >&2
        cat "$ROOT/server.log" >&2
        exit 1
      fi
      sleep 0.05
    done
    accepts "$port" || { echo "fbserver: port $port does not answer" >&2; exit 1; }
  fi
  echo "export PAINEL_FB_SERVER_PORT=$port; export PAINEL_FB_SERVER_ROOT=$ROOT; export PAINEL_FB_SERVER_PASSWORD=$password"
}

stop() {
  [ -f "$ROOT/server.pid" ] || return 0
  local pid i
  pid=$(cat "$ROOT/server.pid")
  if kill -0 "$pid" 2>/dev/null; then
    kill -TERM "$pid" 2>/dev/null || true
    for i in $(seq 1 100); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.05
    done
    if kill -0 "$pid" 2>/dev/null; then
      kill -KILL "$pid" 2>/dev/null || true
      for i in $(seq 1 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
      done
    fi
  fi
  rm -f "$ROOT/server.pid"
}

[ $# -eq 2 ] || usage
ROOT=$(mkdir -p "$2" && cd "$2" && pwd)
case "$1" in
  start) start ;;
  stop) stop ;;
  *) usage ;;
esac
