# Shared by the bench/*_bench.sh scripts (sourced; `work` is set first).

# caption_project FILE SETS: a 1080p project (profile 7, preset 7) of SETS
# two-line sets, set k shown from second 2k for 1.5 seconds.
caption_project() {
  local file=$1 sets=$2 k t
  {
    printf '##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 1920\r\n##-Resolution Height: 1080\r\n'
    printf '##-Profile: 7\r\n##-Preset: 7\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n'
    printf '##-Number of lines/pages: %d / %d\r\n##-Word count: 4\r\n##-User Timed Session: 0\r\n##-;\r\n' $((2 * sets)) "$sets"
    for k in $(seq 0 $((sets - 1))); do
      t=$(printf '00:00:%02d:00>00:00:%02d:12' $((2 * k)) $((2 * k + 1)))
      printf 'A%04d|Caption number %d|%s||0\r\nB%04d|second line|%s||0\r\n' $((2 * k)) "$k" "$t" $((2 * k)) "$t"
    done
  } > "$file"
}

# t NAME CMD...: wall seconds on stdout; $work/NAME.rss gets peak KB, user
# and system CPU seconds. Fails (no time) when the command fails: a crashed
# run has no speed.
t() {
  local t0 t1
  t0=$(date +%s.%N)
  if ! /usr/bin/time -f '%M %U %S' -o "$work/$1.rss" "${@:2}" >/dev/null 2>"$work/$1.err"; then
    echo "bench: $1 failed: ${*:2}" >&2
    tail -5 "$work/$1.err" >&2
    return 1
  fi
  t1=$(date +%s.%N)
  echo "$t1 - $t0" | bc -l
}

# mmm NUMBER...: "min / median / max".
mmm() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { printf "%.2f / %.2f / %.2f", v[1], v[int((NR + 1) / 2)], v[NR] }'; }
