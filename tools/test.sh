#!/usr/bin/env bash
# Runs the whole test suite: installs what is missing, builds with warnings as errors, starts a
# private Firebird server for the database tests, runs every test and stops the server.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/deps.sh
cmake --preset ci >/dev/null
cmake --build --preset ci

FBROOT="$(mktemp -d /tmp/painel-fbserver.XXXXXX)"
cleanup() {
  if [ -f tests/support/fbserver.sh ]; then bash tests/support/fbserver.sh stop "$FBROOT" || true; fi
  rm -rf "$FBROOT"
}
trap cleanup EXIT
if [ -f tests/support/fbserver.sh ]; then
  # Prints the variables the database tests read (PAINEL_FB_SERVER_PORT, ...).
  eval "$(bash tests/support/fbserver.sh start "$FBROOT")"
fi

ctest --preset ci -j2 "$@"
