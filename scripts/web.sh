#!/usr/bin/env bash
# Builds the web viewer (the web preset: the decoder in WebAssembly and its
# page, in build/web/) and serves it on 127.0.0.1 until Ctrl-C.
#   scripts/web.sh [PORT]      (default 8064)
set -euo pipefail
cd "$(dirname "$0")/.."
port=${1:-8064}

scripts/install-deps.sh --web
cmake --preset web >/dev/null
cmake --build --preset web -j"$(nproc)"

echo
echo "tarnel's web viewer: open http://127.0.0.1:$port/ in a browser (Ctrl-C stops it)"
exec /usr/bin/python3 -m http.server "$port" --bind 127.0.0.1 --directory build/web
