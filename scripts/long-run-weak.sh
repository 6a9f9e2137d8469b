#!/usr/bin/env bash
# False frames of the weak-signal receiver: SECONDS (default 86400, a day) of
# white noise, then of flags with random non-frame data between them (the
# physical signal at each SNR given, default 3 dB), each through the decoder
# chain with --weak-signals, Require CRC on and the repair on. Prints the
# counts of halvex_false_frames for each run: the frames the receiver added
# (all false: the audio holds no frame), the check values it computed and
# the number of false frames they let through by chance (1 in 65,536 each),
# beside the same for the demodulator alone.
#
#   scripts/long-run-weak.sh [SECONDS] [BIN_DIR] [SNR...]   (BIN_DIR default build/bin)
#
# Exit status 0 when the receiver added no frame in any run.
set -euo pipefail
TOTAL=${1:-86400}
BIN=${2:-build/bin}
shift $(( $# < 2 ? $# : 2 ))
SNRS=("$@")
[ ${#SNRS[@]} -eq 0 ] && SNRS=(3)
status=0
"$BIN/halvex_false_frames" noise "$TOTAL" 1 || status=1
for snr in "${SNRS[@]}"; do
    "$BIN/halvex_false_frames" flags "$TOTAL" 1 "$snr" || status=1
done
exit $status
