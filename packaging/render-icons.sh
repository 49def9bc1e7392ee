#!/usr/bin/env bash
# Draws the menu icon, the player's jet seen from above and behind, with zephrane-preview at each
# given size into OUT_DIR/hicolor/<size>x<size>/apps/NAME.png (the freedesktop icon theme's
# layout). Run from the repository root after scripts/setup.sh has generated Resources/; without
# a display it runs itself under a virtual X server.
#
# Usage: render-icons.sh ZEPHRANE_PREVIEW OUT_DIR NAME SIZE...
set -euo pipefail

if [ $# -lt 4 ]; then
  echo "usage: $0 ZEPHRANE_PREVIEW OUT_DIR NAME SIZE..." >&2
  exit 2
fi
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 640x480x24 -noreset" bash "$0" "$@"
fi
preview=$1
out_dir=$2
name=$3
shift 3

readonly jet_model="Resources/models/Futuristic combat jet.3ds"
for size in "$@"; do
  folder="$out_dir/hicolor/${size}x${size}/apps"
  mkdir -p "$folder"
  # Standard input is closed: a missing texture would otherwise wait for a key.
  "$preview" "$jet_model" "$folder/$name.png" --size "${size}x${size}" \
    --local-transform jet --yaw 150 --pitch 30 --distance 0.6 </dev/null >/dev/null
done
