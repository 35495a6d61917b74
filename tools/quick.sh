#!/usr/bin/env bash
# The edit-test loop: builds the default preset (build/) and runs the tests that need no database
# or sound server of their own and wait for no more than a second or two (ctest's label "slow"
# marks the others). tools/test.sh, what CI runs, runs them all. Arguments go to ctest
# (tools/quick.sh -R Grammar).
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
bash tools/deps.sh
[ -f build/build.ninja ] || cmake --preset default >/dev/null
cmake --build build -j2
# Database tests through a server skip when no server was started: the embedded ones run.
env -u PAINEL_FB_SERVER_PORT -u PAINEL_PULSE_RUNTIME ctest --test-dir build -j2 -LE slow --output-on-failure "$@"
echo "quick: $((SECONDS - started)) s"
