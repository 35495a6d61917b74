#!/usr/bin/env bash
# The kiosk session for real, on a machine without a screen or a sound card: the session starter
# (packaging/sessao-quiosque) starts Xorg on its dummy video driver and a PulseAudio server of its
# own (a null output where there is no card), with the panel of this build as the only client, as
# the kiosk service runs it. Observed from outside, as systemd and a patient would:
#   - the panel's READY=1 and WATCHDOG=1 reach a notification socket given to the session
#     starter, sent by the panel itself (the X server says nothing);
#   - the panel fills the screen (a screenshot, kept as BUILD_DIR/kiosk-screen.png), and only
#     the session's cookie opens it;
#   - the pointer is hidden, shown when the mouse moves, hidden again when it rests;
#   - the server reports no screen saver and never blanks;
#   - a call's chime reaches the session's default sound output;
#   - stopping the session ends all of it.
#
#   kiosk_test.sh BUILD_DIR      (needs xserver-xorg-video-dummy, xinit, unclutter-xfixes,
#                                 x11-xserver-utils, xauth, pulseaudio, python3-xlib, isql-fb)
set -euo pipefail
BUILD=$(cd "$1" && pwd)
SOURCE=$(cd "$(dirname "$0")/.." && pwd)
PROBE=$SOURCE/tests/support/kioskprobe.py
ROOT=$(mktemp -d /tmp/painel-kiosk.XXXXXX)
session=""
notifier=""
cleanup() {
  [ -z "$session" ] || kill -TERM "$session" 2>/dev/null || true
  [ -z "$notifier" ] || kill "$notifier" 2>/dev/null || true
  sleep 1
  rm -rf "$ROOT"
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local seconds=$1 i
  shift
  for i in $(seq 1 $((seconds * 10))); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# Xorg takes a configuration file of the test's own only from root (and so does the kiosk's
# terminal, which the service hands to its user): tools/test.sh runs as root.
if [ "$(id -u)" -ne 0 ]; then
  echo "kiosk_test: needs root, skipped"
  exit 77
fi
for tool in Xorg xinit unclutter xset xauth pulseaudio parec isql-fb import; do
  command -v "$tool" >/dev/null || { echo "kiosk_test: $tool is missing (tools/deps.sh installs it)" >&2; exit 1; }
done
[ -f /usr/lib/xorg/modules/drivers/dummy_drv.so ] || { echo "kiosk_test: xserver-xorg-video-dummy is missing" >&2; exit 1; }

# The panel's folder, as the package lays it out, with a database of its own.
P=$ROOT/painel
mkdir -p "$P" "$ROOT/home" "$ROOT/runtime"
chmod 700 "$ROOT/runtime"
cp "$BUILD/bin/painel" "$SOURCE/packaging/sessao-quiosque" "$P/"
"$BUILD/bin/painel-makemedia" --chime "$P/NOTIFY.WAV" >/dev/null
{
  echo "CREATE DATABASE '$ROOT/calls.fdb' USER 'SYSDBA';"
  cat "$SOURCE/db/schema.sql"
  echo "COMMIT;"
} >"$ROOT/calls.sql"
isql-fb -q -bail -user SYSDBA -i "$ROOT/calls.sql" >"$ROOT/isql.log" 2>&1 || { cat "$ROOT/isql.log" >&2; exit 1; }
printf '[sgbd]\nfatura=%s\n' "$ROOT/calls.fdb" >"$P/config.ini"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
printf '%s\r\n1\r\nS\r\nN\r\n' "$port" >"$P/configserver.txt"

# A display number nobody uses, and a screen of a TV's size on the dummy driver.
n=40
while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
tela=:$n
cat >"$ROOT/xorg.conf" <<'EOF'
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 32768
EndSection
Section "Monitor"
  Identifier "tv"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
  Modeline "1280x720" 74.25 1280 1390 1430 1650 720 725 730 750 +hsync +vsync
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "tv"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Modes "1280x720"
  EndSubSection
EndSection
EOF

# systemd's side: a notification socket and a watchdog of 3 s (the panel then beats every second).
/usr/bin/python3 "$PROBE" notify "$ROOT/notify.socket" "$ROOT/notify.log" &
notifier=$!
wait_for 5 test -S "$ROOT/notify.socket" || { echo "kiosk_test: the notification socket did not open" >&2; exit 1; }

# The session as the service starts it, but with the terminal shared (-sharevts): Xorg opens it
# and neither switches to it nor puts it in graphics mode, so a console in use is left alone.
env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME="$ROOT/home" XDG_RUNTIME_DIR="$ROOT/runtime" LANG=C.UTF-8 \
  NOTIFY_SOCKET="$ROOT/notify.socket" WATCHDOG_USEC=3000000 WATCHDOG_PID=$$ \
  PAINEL_DIR="$P" PAINEL_ERRORS=stderr PAINEL_QUIOSQUE_TELA="$tela" PAINEL_QUIOSQUE_VT=1 \
  PAINEL_QUIOSQUE_XORG="-config $ROOT/xorg.conf -sharevts -logfile $ROOT/xorg.log" \
  "$P/sessao-quiosque" >"$ROOT/session.log" 2>&1 &
session=$!
export DISPLAY=$tela XAUTHORITY=$ROOT/runtime/painel-quiosque.Xauthority XDG_RUNTIME_DIR=$ROOT/runtime HOME=$ROOT/home

from_panel() { grep -E "^[0-9]+ painel $1" "$ROOT/notify.log" 2>/dev/null; }
if ! wait_for 60 from_panel 'READY=1' >/dev/null; then
  cat "$ROOT/session.log" "$ROOT/notify.log" >&2 2>/dev/null || true
  echo "FAIL: no READY=1 from the panel through the session starter" >&2
  exit 1
fi
panel=$(from_panel 'READY=1' | head -n1 | cut -d' ' -f1)
ready_line=$(grep -n 'READY=1' "$ROOT/notify.log" | head -n1 | cut -d: -f1)
beats_after_ready() { [ "$(tail -n +"$ready_line" "$ROOT/notify.log" | grep -c "^$panel painel WATCHDOG=1$")" -ge 3 ]; }
wait_for 5 beats_after_ready ||
  fail "fewer than 3 WATCHDOG=1 from the panel in the 5 s after READY=1: $(cat "$ROOT/notify.log")"
others=$(grep -v "^$panel painel " "$ROOT/notify.log" || true)
[ -z "$others" ] || fail "notifications from another process than the panel: $others"
grep -q EXTEND_TIMEOUT_USEC "$ROOT/notify.log" || fail "the panel's start-up beats did not come through"

# The screen: the panel's window fills it, from the clock strip down to the footer.
wait_for 10 xset q >/dev/null 2>&1 || fail "the X server does not answer on $tela"
sleep 3.5 # the pointer hides after 3 s of rest
import -window root "$ROOT/screen.png"
cp "$ROOT/screen.png" "$BUILD/kiosk-screen.png"
size=$(identify -format '%wx%h' "$ROOT/screen.png")
[ "$size" = 1280x720 ] || fail "the screen is $size"
pixel() { convert "$ROOT/screen.png" -format "%[pixel:p{$1,$2}]" info:; }
for spot in "2 2" "1277 2" "1277 70" "2 70"; do   # the clock strip, sky blue, at both ends
  # shellcheck disable=SC2086
  [ "$(pixel $spot)" = 'srgb(166,202,240)' ] || fail "at $spot the screen is $(pixel $spot), not the clock strip"
done
for spot in "2 100" "1277 100"; do                 # the header bar, navy, from edge to edge
  # shellcheck disable=SC2086
  [ "$(pixel $spot)" = 'srgb(0,0,128)' ] || fail "at $spot the screen is $(pixel $spot), not the header bar"
done
windows=$(xwininfo -root -children | grep -c '^ *0x' || true)
geometry=$(xwininfo -root -tree | grep -E '"Atendimento Eletr' | head -n1 || true)
grep -q '1280x720+0+0' <<<"$geometry" || fail "the panel's window is not 1280x720 at 0,0: $geometry ($windows windows)"

# Only the session's cookie opens the screen.
if env -u XAUTHORITY HOME=/nonexistent xset q >/dev/null 2>&1; then fail "the X server lets in a client without the session's cookie"; fi

# The pointer: hidden at rest, shown when the mouse moves, hidden again 3 s later.
events=$(/usr/bin/python3 "$PROBE" pointer "$tela" | tr '\n' ' ')
grep -Eq '^moved shown( hidden)* hidden $' <<<"$events" || fail "pointer: '$events' instead of moved, shown, hidden"

# The screen saver is off and the screen is not blanked, even after a rest.
read -r timeout state < <(/usr/bin/python3 "$PROBE" screensaver "$tela")
[ "$timeout" = 0 ] || fail "the screen saver's timeout is $timeout"
[ "$state" != on ] || fail "the screen is blanked"
xset q | grep -Eq 'DPMS is Disabled|Server does not have the DPMS Extension' || fail "DPMS: $(xset q | grep -A2 DPMS)"

# The chime of a call reaches the default output of the session's own sound server.
pactl info >/dev/null 2>&1 || fail "the session's PulseAudio server does not answer"
sink=$(pactl get-default-sink 2>/dev/null || true)
timeout 6 parec -d "$sink.monitor" --format=s16le --rate=16000 --channels=1 "$ROOT/heard.raw" &
recorder=$!
sleep 0.5
"$BUILD/bin/chamar" --port "$port" "RE*ANA SOUTO" >/dev/null || fail "chamar could not reach the panel"
wait "$recorder" || true
loudest=$(python3 -c '
import array, sys
samples = array.array("h")
data = open(sys.argv[1], "rb").read()
samples.frombytes(data[:len(data) // 2 * 2])
print(max((abs(x) for x in samples), default=0))' "$ROOT/heard.raw" 2>/dev/null || echo 0)
[ "$loudest" -gt 1000 ] || fail "the chime did not reach the sink $sink (loudest sample $loudest)"

# Stopping the session (SIGTERM, as systemd does) ends the panel, the X server and the sound server.
xorg=$(cat /tmp/.X$n-lock 2>/dev/null | tr -d ' ' || true)
pulse=$(cat "$ROOT/runtime/pulse/pid" 2>/dev/null || true)
kill -TERM "$session"
wait_for 15 bash -c "! kill -0 $session 2>/dev/null" || fail "the session starter did not end"
for pid in $panel $xorg $pulse; do
  wait_for 5 bash -c "! kill -0 $pid 2>/dev/null" || fail "process $pid ($(cat /proc/$pid/comm 2>/dev/null)) outlived the session"
done
session=""
grep -q '^painel: ' "$ROOT/session.log" && fail "the panel reported errors: $(grep '^painel: ' "$ROOT/session.log")"

if [ "$failures" -gt 0 ]; then
  echo "--- session log" >&2
  cat "$ROOT/session.log" >&2
  echo "$failures check(s) failed; kiosk session" >&2
  exit 1
fi
echo "kiosk session: passed"
