#!/usr/bin/env bash
# halvex3-decode --log-dir across 00:00 UTC: the line stamped 23:59:59 ends the
# first day's file, the line stamped 00:00:00 begins the next day's, each file
# holds exactly its own day's lines (expansion lines beside their message
# line), and a file that already existed is appended to, never truncated.
set -euo pipefail
BIN=$1
D=$(mktemp -d /tmp/halvex-midnight-XXXXXX)
trap 'rm -rf "$D"' EXIT
fail() { echo "long_midnight: $*" >&2; exit 1; }

mkdir "$D/logs"
echo "a line from earlier that day" >"$D/logs/halvex3log20090501.txt"

# Frames one second apart across midnight: the first recording sends a frame
# every other second from 23:59:52 and is cut after its frame at 23:59:58;
# the second is shifted by a second so its first frame goes at 23:59:59.
"$BIN/halvex3-synth" --start 2009-05-01T23:59:50Z --seconds 2 --frames short --count 4 \
    -o - >"$D/a.raw"
"$BIN/halvex3-synth" --start 2009-05-01T23:59:59Z --seconds 1 --frames short,datetime --count 3 \
    -o - >"$D/b.raw"
{ head -c $((9 * 48000)) "$D/a.raw"; tail -c +$((48000 + 1)) "$D/b.raw"; } >"$D/audio.raw"
# A time zone far from UTC, so a log name taken in local time would show.
TZ=Pacific/Auckland "$BIN/halvex3-decode" --start 2009-05-01T23:59:50Z --cp1252 --log-dir "$D/logs" - \
    <"$D/audio.raw" >"$D/out.txt" || fail "halvex3-decode failed"

ls "$D/logs" >"$D/files.txt"
printf 'halvex3log20090501.txt\nhalvex3log20090502.txt\n' | cmp -s - "$D/files.txt" ||
    fail "log files: $(tr '\n' ' ' <"$D/files.txt")"

grep -q '\] 2009-05-01 23:59:59$' "$D/out.txt" || fail "no line at 23:59:59"
grep -q '\] 2009-05-02 00:00:00$' "$D/out.txt" || fail "no line at 00:00:00"

# Split the decoder's own output at the first line of the second day.
n=$(grep -n '\] 2009-05-02 ' "$D/out.txt" | head -1 | cut -d: -f1)
{ echo "a line from earlier that day"; head -n $((n - 1)) "$D/out.txt"; } >"$D/day1.txt"
tail -n +"$n" "$D/out.txt" >"$D/day2.txt"
cmp -s "$D/day1.txt" "$D/logs/halvex3log20090501.txt" || fail "first day's file differs"
cmp -s "$D/day2.txt" "$D/logs/halvex3log20090502.txt" || fail "second day's file differs"
[ "$(tail -n 1 "$D/day1.txt")" = "0123457 CE4  [7CE4] 2009-05-01 23:59:59" ] ||
    fail "first day does not end with the 23:59:59 line"
[ "$(head -n 1 "$D/day2.txt")" = "0123457 CE4  [7CE4] 2009-05-02 00:00:00" ] ||
    fail "second day does not begin with the 00:00:00 line"
if grep -q '\] 2009-05-02 ' "$D/day1.txt" || grep -q '\] 2009-05-01 ' "$D/day2.txt"; then
    fail "a line is in the other day's file"
fi
echo "long_midnight: $(($(wc -l <"$D/day1.txt") - 1)) + $(wc -l <"$D/day2.txt") lines split at 00:00:00"
