#!/usr/bin/env bash
# The panel on a demo set-up, in the folder demo/ of the repository (git ignores it):
#
#   - installs what is missing (tools/deps.sh) and builds the panel and its tools;
#   - writes demo/ afresh: a copy of the panel, config.ini beside it, configserver.txt,
#     NOTIFY.WAV and VIDEO.WMV, and a Firebird database with today's sample calls, opened with
#     the embedded engine (no server);
#   - starts the panel, with demo/ as its working directory, and calls a round of sample calls
#     with the calling-station tool, which records each call in the database as a real station
#     does.
#
# With a display ($DISPLAY set) the window opens on it and stays until it is closed. Without
# one the panel runs on a virtual display (Xvfb), the screen is saved after each call into
# demo/screenshots/, and the panel is stopped at the end. DEMO_SCREEN sets the size of that
# display (default 1920x1080). DEMO_AJUSTAR=S and DEMO_PRIVACIDADE=S set those switches of
# config.ini ([fonte] ajustar, [definicao] privacidade).
#
# Run it again at any time: it builds what changed and sets the demo up anew with today's date.
set -euo pipefail
cd "$(dirname "$0")/.."
REPO=$PWD
DEMO=$REPO/demo
PORT=2411

say() { printf 'demo: %s\n' "$*"; }

# --- build -------------------------------------------------------------------------------
bash tools/deps.sh
[ -f build/build.ninja ] || cmake --preset default >/dev/null
cmake --build build -j2 --target painel chamar painel-makemedia

# --- the demo folder ---------------------------------------------------------------------
mkdir -p "$DEMO/firebird/lock" "$DEMO/screenshots"
# config.ini is looked up beside the executable, whose folder is found through symlinks: the
# panel is copied, not linked.
cmp -s build/bin/painel "$DEMO/painel" || install -m 755 build/bin/painel "$DEMO/painel"

if [ ! -s "$DEMO/NOTIFY.WAV" ] || [ ! -s "$DEMO/VIDEO.WMV" ]; then
  say "making NOTIFY.WAV and VIDEO.WMV"
  build/bin/painel-makemedia "$DEMO" 20
fi

# A private Firebird root: in SuperClassic mode several processes (the panel and the calling
# station) can open the same database file with the embedded engine, and the lock files stay
# in demo/.
printf 'ServerMode = SuperClassic\n' >"$DEMO/firebird/firebird.conf"
export FIREBIRD=$DEMO/firebird
export FIREBIRD_LOCK=$DEMO/firebird/lock

# Only the panel of an earlier demo can hold the database: it must not be replaced under it.
if [ -f "$DEMO/painel.pid" ] && kill -0 "$(cat "$DEMO/painel.pid")" 2>/dev/null; then
  echo "demo: the demo panel of an earlier run is still open (pid $(cat "$DEMO/painel.pid")); close it first" >&2
  exit 1
fi
rm -f "$DEMO/painel.pid"

say "writing the database $DEMO/calls.fdb with today's sample calls"
rm -f "$DEMO/calls.fdb"
{
  echo "CREATE DATABASE '$DEMO/calls.fdb' USER 'SYSDBA' PAGE_SIZE 8192;"
  cat db/schema.sql
  cat <<'EOF'
INSERT INTO GUICHE (INDICE, NOME, APELIDO) VALUES (1, 'RECEPÇÃO - GUICHÊ 1', 'A');
INSERT INTO GUICHE (INDICE, NOME, APELIDO) VALUES (2, 'CLASSIFICAÇÃO RISCO', 'CR');
INSERT INTO GUICHE (INDICE, NOME, APELIDO) VALUES (3, 'CAIXA - GUICHÊ 3', 'C');
INSERT INTO GUICHE (INDICE, NOME, APELIDO) VALUES (4, 'CONSULTÓRIO 7', 'MD');
INSERT INTO GUICHE (INDICE, NOME, APELIDO) VALUES (5, 'LABORATÓRIO', 'L');
EOF
  # A dozen calls of today, the newest last, and two of yesterday, which the panel does not list.
  n=0
  for row in "1 3 1 A" "3 2 7 C" "5 1 4 L" "2 4 3 CR" "1 2 8 A" "4 1 12 MD" \
             "3 3 2 C" "1 5 9 A" "5 2 6 L" "2 6 5 CR" "4 2 11 MD" "3 4 10 C"; do
    set -- $row
    n=$((n + 1))
    echo "INSERT INTO GUICHELISTA (INDICE, CODIGOPAC, DATA, GUICHE, SENHA, STATUS, NR_GUICHE_CHAMOU, DATAUSER2)" \
         "VALUES ($n, $((1000 + n)), CURRENT_DATE, $1, $2, 'A', '$1'," \
         "DATEADD($((n - 60)) MINUTE TO CURRENT_TIMESTAMP));"
  done
  for day in 1 2; do
    n=$((n + 1))
    echo "INSERT INTO GUICHELISTA (INDICE, CODIGOPAC, DATA, GUICHE, SENHA, STATUS, NR_GUICHE_CHAMOU, DATAUSER2)" \
         "VALUES ($n, $((1000 + n)), DATEADD(-1 DAY TO CURRENT_DATE), 1, $day, 'A', '1'," \
         "DATEADD(-1 DAY TO CURRENT_TIMESTAMP));"
  done
  echo "COMMIT;"
# The database keeps text in Windows-1252 (character set NONE), as the panel reads it. isql-fb
# reads the script from a file: from its standard input it drops the bytes above 127.
} | iconv -f UTF-8 -t CP1252 >"$DEMO/calls.sql"
isql-fb -q -bail -user SYSDBA -i "$DEMO/calls.sql" >"$DEMO/isql.log" 2>&1 || {
  cat "$DEMO/isql.log" >&2
  exit 1
}

listening() { ss -Htln "sport = :$1" 2>/dev/null | grep -q .; }
if listening "$PORT"; then
  old=$PORT
  PORT=$(for p in $(seq 2412 2499); do listening "$p" || { echo "$p"; break; }; done)
  [ -n "$PORT" ] || { echo "demo: no free port from 2411 to 2499" >&2; exit 1; }
  say "port $old is taken: the demo panel listens on $PORT"
fi

# Speech needs a sound device; without one every spoken call would end in an error.
if grep -qs '^ *[0-9]' /proc/asound/cards; then
  VOICE=S
  say "sound device found: the calls are spoken (voice switch \"S\")"
else
  VOICE=N
  say "no sound device (/proc/asound/cards lists none): the calls are not spoken (voice switch \"N\")"
fi

cat >"$DEMO/config.ini" <<EOF
[fonte]
tamanhofontenome=36
tamanhofonteservico=32
ajustar=${DEMO_AJUSTAR:-}

[sgbd]
usuario=
senha=
cripto=
fatura=$DEMO/calls.fdb

[definicao]
repetirvideo=S
privacidade=${DEMO_PRIVACIDADE:-}
EOF
printf '%s\r\n' "$PORT" 1 S "$VOICE" >"$DEMO/configserver.txt"

# The calling station of the demo: records the call in the demo database and sends it.
cat >"$DEMO/chamar" <<EOF
#!/bin/sh
# A calling station for the demo panel: records the call in the demo database, then sends it.
#   demo/chamar --guiche 1 "MD*41ANA SOUTO"     demo/chamar 03015A     demo/chamar refresh
export FIREBIRD='$FIREBIRD' FIREBIRD_LOCK='$FIREBIRD_LOCK'
for message; do :; done
if [ "\$message" = refresh ]; then
  exec '$REPO/build/bin/chamar' --port $PORT "\$@"
fi
exec '$REPO/build/bin/chamar' --port $PORT --db '$DEMO/calls.fdb' "\$@"
EOF
chmod 755 "$DEMO/chamar"

# --- run ---------------------------------------------------------------------------------
PANEL_PID=
XVFB_PID=
cleanup() {
  if [ -n "$PANEL_PID" ] && kill -0 "$PANEL_PID" 2>/dev/null; then
    kill -TERM "$PANEL_PID" 2>/dev/null || true
    wait "$PANEL_PID" 2>/dev/null || true
  fi
  rm -f "$DEMO/painel.pid"
  if [ -n "$XVFB_PID" ]; then
    kill -TERM "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

HEADLESS=
if [ -z "${DISPLAY:-}" ]; then
  HEADLESS=1
  # The X server picks a free display number and writes it into xvfb.display.
  : >"$DEMO/xvfb.display"
  Xvfb -displayfd 3 -screen 0 "${DEMO_SCREEN:-1920x1080}x24" -nolisten tcp 3>"$DEMO/xvfb.display" 2>"$DEMO/xvfb.log" &
  XVFB_PID=$!
  number=
  for _ in $(seq 1 300); do
    number=$(tr -dc 0-9 <"$DEMO/xvfb.display")
    [ -n "$number" ] && break
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$number" ] || { cat "$DEMO/xvfb.log" >&2; echo "demo: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=:$number
  # Errors go to the log instead of message boxes that nobody could close.
  export PAINEL_ERRORS=stderr
  say "no display: the panel runs on the virtual display $DISPLAY"
fi

: >"$DEMO/painel.log"
(cd "$DEMO" && exec ./painel) 2>>"$DEMO/painel.log" &
PANEL_PID=$!
echo "$PANEL_PID" >"$DEMO/painel.pid"
for _ in $(seq 1 300); do
  listening "$PORT" && break
  kill -0 "$PANEL_PID" 2>/dev/null || break
  sleep 0.1
done
if ! listening "$PORT"; then
  echo "demo: the panel is not listening on port $PORT; its messages:" >&2
  cat "$DEMO/painel.log" >&2
  exit 1
fi
say "the panel listens on port $PORT"

# Room for the notification, the speech (when on), the re-query and the pauses of one call.
WAIT=3
[ "$VOICE" = S ] && WAIT=8
shot() {
  [ -n "$HEADLESS" ] || return 0
  import -display "$DISPLAY" -window root "$DEMO/screenshots/$1.png"
  say "screenshot demo/screenshots/$1.png"
}

sleep 2 # the start-up sound and the first frames of the video
shot 00-start
CALLS=(
  "01-counter-call|03015A"
  "02-risk-room|--guiche 2|CR*2JOANA PERES"
  "03-consulting-room|--guiche 4|MD*7ANA SOUTO"
  "04-destination-code|--guiche 1|MD*41MARIA DAS DORES"
  "05-reception-desk|--guiche 1|AC*LUIS MOTA"
  "06-reception|--guiche 1|RE*PEDRO ALVES"
  "07-long-name|--guiche 1|MD*41MARIA APARECIDA DOS SANTOS OLIVEIRA DE SOUZA"
)
for entry in "${CALLS[@]}"; do
  IFS='|' read -r -a parts <<<"$entry"
  name=${parts[0]}
  message=${parts[${#parts[@]} - 1]}
  args=()
  [ ${#parts[@]} -eq 3 ] && read -r -a args <<<"${parts[1]}"
  say "call: ${args[*]+${args[*]} }$message"
  "$DEMO/chamar" "${args[@]}" "$message"
  sleep "$WAIT"
  case "$message" in [0-9]*) sleep 1 ;; esac # a counter call has a pause of its own
  shot "$name"
done

if [ -n "$HEADLESS" ]; then
  # The panel's own error reports; the media and sound libraries' chatter stays in the log.
  if grep -q '^painel: ' "$DEMO/painel.log"; then
    say "the panel reported:"
    grep '^painel: ' "$DEMO/painel.log" | sed 's/^/  /'
  fi
  say "done; the screenshots are in $DEMO/screenshots/ and the panel's whole output in $DEMO/painel.log"
else
  say "the panel stays open: close its window (the button in its footer) to end the demo."
  say "more calls from another terminal: demo/chamar --guiche 1 \"MD*89ANA SOUTO\""
  wait "$PANEL_PID" || true
fi
