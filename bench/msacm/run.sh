#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: bench/msacm/run.sh BUILD_DIR
# Times ten minutes of 48 kHz stereo through the format convertor against LAME encoding the
# result, and prints the share.
set -eu
build=${1:?usage: $0 BUILD_DIR}
cmake --build "$build" --target bench_msacm
exec "$build/bench/msacm/bench_msacm"
