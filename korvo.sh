#!/usr/bin/env bash
# The korvo command from a fresh checkout: installs what is missing, builds the
# Release configuration into build/ (incrementally), then runs it with the arguments.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$here/scripts/install-deps"
if [ ! -f "$here/build/build.ninja" ]; then
  cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDORNA_TESTS=OFF >&2
fi
cmake --build "$here/build" -- --quiet >&2 || cmake --build "$here/build" >&2
exec "$here/build/cli/korvo" "$@"
