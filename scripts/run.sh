#!/usr/bin/env bash
# Installs what is missing, builds, starts the bundled sample site (when the build reads it)
# and starts the program. The sample site stops when the program ends.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build=${TARNWICK_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target tarnwick tarnwick_sample_site

site_host=$(sed -n 's/^TARNWICK_SITE_HOST:STRING=//p' "$build/CMakeCache.txt")
site_pid=
if [ "$site_host" = "127.0.0.1:18936" ]; then
  "$build/tools/sample_site/tarnwick_sample_site" --port 18936 --delay-ms "${TARNWICK_SITE_DELAY_MS:-150}" &
  site_pid=$!
  trap 'kill "$site_pid" 2>/dev/null || true' EXIT
fi

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: starting the window under Xvfb (xvfb-run)." >&2
  xvfb-run -a "$build/src/ui/tarnwick"
else
  "$build/src/ui/tarnwick"
fi
