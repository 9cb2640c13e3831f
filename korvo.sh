#!/usr/bin/env bash
# The korvo command from a fresh checkout: installs what building and running it needs,
# builds the Release configuration into build/ (incrementally), then runs it with the
# arguments. Once built, only the command's own lines are printed; the build's are
# shown when it fails.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$here/scripts/install-deps" command
log="$here/build/korvo.sh.log"
if [ ! -f "$here/build/build.ninja" ]; then
  echo "korvo.sh: building the korvo command into build/ (once)" >&2
  mkdir -p "$here/build"
  if ! cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDORNA_TESTS=OFF >"$log" 2>&1; then
    cat "$log" >&2
    exit 1
  fi
fi
if ! cmake --build "$here/build" >"$log" 2>&1; then
  cat "$log" >&2
  exit 1
fi
exec "$here/build/cli/korvo" "$@"
