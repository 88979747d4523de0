#!/usr/bin/env bash
# Times the two conversions against GNU basenc and against dd writing the
# same number of bytes (the floor), side by side in one run. Every run starts
# after sync, with its output removed; one warm-up round comes first and the
# medians of the timed rounds are shown.
#   measure_speed.sh [BUILD_DIR] [MIB] [ROUNDS]
set -euo pipefail
build=${1:-$(cd "$(dirname "$0")/../.." && pwd)/build-convert}
mib=${2:-256}
rounds=${3:-7}
driver=$build/tests/convert/convert_driver
[ -x "$driver" ] || { echo "missing $driver: build the target convert_driver" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/vagliante-speed.XXXXXX")
trap 'rm -rf "$work"' EXIT

head -c $((mib << 20)) /dev/urandom > "$work/in.bin"
basenc --base16 -w0 < "$work/in.bin" > "$work/in.txt"

declare -A cmds=(
    [bin2txt]="'$driver' bin2txt '$work/in.bin' '$work/out'"
    [basenc]="basenc --base16 -w0 < '$work/in.bin' > '$work/out'"
    [dd]="dd if=/dev/zero of='$work/out' bs=1M count=$((2 * mib)) status=none"
    [txt2bin]="'$driver' txt2bin '$work/in.txt' '$work/out'"
    [basenc-d]="basenc --base16 -d < '$work/in.txt' > '$work/out'"
)
order=(bin2txt basenc dd txt2bin basenc-d)

declare -A times
# The order turns by one each round, so that no command always follows the
# same one (a removed output leaves the system work that the next run meets).
for round in $(seq 0 "$rounds"); do
    for k in "${!order[@]}"; do
        name=${order[$(((k + round) % ${#order[@]}))]}
        rm -f "$work/out"
        sync
        start=$(date +%s.%N)
        bash -c "${cmds[$name]}"
        end=$(date +%s.%N)
        [ "$round" -eq 0 ] && continue  # warm-up
        times[$name]+="$(echo "$end - $start" | bc) "
    done
done

median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
declare -A med
for name in "${order[@]}"; do
    med[$name]=$(echo "${times[$name]}" | median)
    printf '%-9s median %.3f s   (%s)\n' "$name" "${med[$name]}" "${times[$name]}"
done
printf 'bin2txt / basenc      %.2f  (target <= 0.60)\n' "$(echo "${med[bin2txt]} / ${med[basenc]}" | bc -l)"
printf 'bin2txt / dd          %.2f  (target <= 1.50)\n' "$(echo "${med[bin2txt]} / ${med[dd]}" | bc -l)"
printf 'txt2bin / basenc -d   %.2f  (target <= 0.15)\n' "$(echo "${med[txt2bin]} / ${med[basenc-d]}" | bc -l)"
