#!/usr/bin/env bash
# A private PulseAudio server for the audio tests, with a null sink in place of a sound card:
# what a program plays into it can be recorded from the sink's monitor.
#
#   pulseserver.sh start ROOT   starts a user server whose runtime folder (socket, pid file) is
#                               ROOT/runtime, with a null sink named "hall", its default sink,
#                               waits until it answers and prints the shell assignment the
#                               audio tests read: PAINEL_PULSE_RUNTIME (the folder to give a
#                               program as XDG_RUNTIME_DIR so that it plays into this server).
#                               Nothing else in the environment changes: other tests keep
#                               playing to no device.
#   pulseserver.sh stop ROOT    stops that server: its own exit request, then TERM, then KILL.
#
# Needs pulseaudio and pactl (Debian packages pulseaudio and pulseaudio-utils). Works as root:
# the server runs as the user's own, not as a system server.
set -euo pipefail

usage() {
  echo "usage: $0 start|stop ROOT" >&2
  exit 2
}

server_pid() {
  local f="$ROOT/runtime/pulse/pid"
  [ -f "$f" ] && cat "$f"
}

answers() {
  XDG_RUNTIME_DIR="$ROOT/runtime" timeout 5 pactl info >/dev/null 2>&1
}

start() {
  mkdir -p "$ROOT/runtime" "$ROOT/home"
  chmod 700 "$ROOT/runtime"
  if answers; then
    echo "pulseserver: already running in $ROOT" >&2
  else
    # A home of its own keeps the server from reading or writing the user's settings.
    HOME="$ROOT/home" XDG_RUNTIME_DIR="$ROOT/runtime" XDG_CONFIG_HOME="$ROOT/home" \
      pulseaudio --daemonize=yes --exit-idle-time=-1 -n --log-target=file:"$ROOT/server.log" \
      --load=module-native-protocol-unix --load="module-null-sink sink_name=hall" \
      --load=module-always-sink </dev/null >>"$ROOT/start.log" 2>&1 || {
        echo "pulseserver: the server did not start:" >&2
        cat "$ROOT/start.log" "$ROOT/server.log" >&2 2>/dev/null || true
        exit 1
      }
    local i
    for i in $(seq 1 100); do
      answers && break
      sleep 0.05
    done
    answers || { echo "pulseserver: the server does not answer" >&2; exit 1; }
  fi
  echo "export PAINEL_PULSE_RUNTIME=$ROOT/runtime"
}

stop() {
  local pid i
  pid=$(server_pid || true)
  XDG_RUNTIME_DIR="$ROOT/runtime" timeout 5 pactl exit >/dev/null 2>&1 || true
  [ -n "$pid" ] || return 0
  for i in $(seq 1 100); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.05
  done
  kill -TERM "$pid" 2>/dev/null || true
  for i in $(seq 1 100); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.05
  done
  kill -KILL "$pid" 2>/dev/null || true
}

[ $# -eq 2 ] || usage
ROOT=$(mkdir -p "$2" && cd "$2" && pwd)
case "$1" in
  start) start ;;
  stop) stop ;;
  *) usage ;;
esac
