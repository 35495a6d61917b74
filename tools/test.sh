#!/usr/bin/env bash
# Runs the whole test suite: installs what is missing, builds with warnings as errors, starts a
# private Firebird server for the database tests and a private PulseAudio server with a null
# sink for the audio tests, runs every test and stops the servers, and as root installs, upgrades
# and purges the Debian package. Then runs the suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer, and last gives every parser's fuzz target a short run from its
# corpus. Arguments go to ctest (the first two runs).
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
stage() { echo "== $1 (at $((SECONDS - started)) s)"; }

bash tools/deps.sh
stage "build: ci"
cmake --preset ci >/dev/null
cmake --build --preset ci

FBROOT="$(mktemp -d /tmp/painel-fbserver.XXXXXX)"
PULSEROOT="$(mktemp -d /tmp/painel-pulse.XXXXXX)"
cleanup() {
  if [ -f tests/support/fbserver.sh ]; then bash tests/support/fbserver.sh stop "$FBROOT" || true; fi
  if [ -f tests/support/pulseserver.sh ]; then bash tests/support/pulseserver.sh stop "$PULSEROOT" || true; fi
  rm -rf "$FBROOT" "$PULSEROOT"
}
trap cleanup EXIT
if [ -f tests/support/fbserver.sh ]; then
  # Prints the variables the database tests read (PAINEL_FB_SERVER_PORT, ...).
  eval "$(bash tests/support/fbserver.sh start "$FBROOT")"
fi
if [ -f tests/support/pulseserver.sh ]; then
  # Prints the variable the audio tests read (PAINEL_PULSE_RUNTIME); no sound card is needed.
  eval "$(bash tests/support/pulseserver.sh start "$PULSEROOT")"
fi

stage "tests: ci"
ctest --preset ci -j2 "$@"

# The package installed for real: an upgrade from the old layout, a reinstall and an upgrade
# keep an administrator's edits. It installs and purges the package, so it runs only as root
# and not as a ctest.
if [ "$(id -u)" -eq 0 ]; then
  stage "package: installed, upgraded and purged"
  bash tests/package_test.sh --install build-ci
else
  stage "package: the installation test needs root, not run"
fi

stage "build: asan"
cmake --preset asan >/dev/null
cmake --build --preset asan
stage "tests: asan"
ctest --preset asan -j2 "$@"

stage "build: fuzz"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
stage "tests: fuzz"
ctest --preset fuzz
stage "done"
