#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every benchmark under bench/ against the build in $1 (default: build).
set -euo pipefail
build=$(realpath "${1:-build}")
cd "$(dirname "$0")/.."
status=0
for script in bench/*/run.sh; do
  echo "== ${script%/run.sh}"
  bash "$script" "$build" || status=1
done
exit $status
