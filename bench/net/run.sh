#!/usr/bin/env bash
# Times tovalin-get beside curl on loopback: a 1 MiB body by length, chunked and until close
# (each fetched N times in one process), 200 sequential small GETs on one kept-alive
# connection, and a response setting 3,000 cookies; then the cookie store alone.
# Usage: bench/net/run.sh [build-dir] [N]
set -euo pipefail
build=${1:-build/default}
n=${2:-50}
get="$build/tools/get/tovalin-get"
server_bin="$build/bench/net/bench-net-server"
for b in "$get" "$server_bin"; do
    [[ -x $b ]] || { echo "missing $b (build the bench-net target first)" >&2; exit 1; }
done
command -v curl >/dev/null || { echo "curl not found" >&2; exit 1; }

tmp=$(mktemp -d)
"$server_bin" 0 >"$tmp/port" &
server_pid=$!
trap 'kill "$server_pid" 2>/dev/null; rm -rf "$tmp"' EXIT
for _ in $(seq 50); do [[ -s $tmp/port ]] && break; sleep 0.1; done
port=$(cat "$tmp/port")
base="http://127.0.0.1:$port"

# Best of five runs of a command, in seconds (the machine may be shared).
best_of_five() {
    local best=""
    for _ in 1 2 3 4 5; do
        local start end t
        start=$(date +%s.%N)
        "$@" >/dev/null
        end=$(date +%s.%N)
        t=$(echo "$end - $start" | bc -l)
        if [[ -z $best ]] || (( $(echo "$t < $best" | bc -l) )); then best=$t; fi
    done
    echo "$best"
}

urls() { local u=$1 count=$2; for _ in $(seq "$count"); do printf '%s\n' "$u"; done; }

printf '%-22s %14s %14s %8s\n' "case" "tovalin-get" "curl" "ratio"
for path in len chunked close; do
    mapfile -t list < <(urls "$base/$path" "$n")
    t_get=$(best_of_five "$get" "${list[@]}")
    t_curl=$(best_of_five curl -s "${list[@]}")
    mb=$(echo "$n * 1.048576" | bc -l)
    printf '%-22s %9.1f MB/s %9.1f MB/s %8.2f\n' "1 MiB /$path x$n" \
        "$(echo "$mb / $t_get" | bc -l)" "$(echo "$mb / $t_curl" | bc -l)" \
        "$(echo "$t_get / $t_curl" | bc -l)"
done
mapfile -t list < <(urls "$base/small" 200)
t_get=$(best_of_five "$get" "${list[@]}")
t_curl=$(best_of_five curl -s "${list[@]}")
printf '%-22s %10.0f req/s %10.0f req/s %8.2f\n' "200 kept-alive GETs" \
    "$(echo "200 / $t_get" | bc -l)" "$(echo "200 / $t_curl" | bc -l)" \
    "$(echo "$t_get / $t_curl" | bc -l)"
# One response setting 3,000 distinct cookies (the client keeps the first 50), fetched n times.
mapfile -t list < <(urls "$base/cookies" "$n")
t_get=$(best_of_five "$get" "${list[@]}")
t_curl=$(best_of_five curl -s "${list[@]}")
printf '%-22s %7.2f ms/resp %7.2f ms/resp %8.2f\n' "3,000 cookies x$n" \
    "$(echo "1000 * $t_get / $n" | bc -l)" "$(echo "1000 * $t_curl / $n" | bc -l)" \
    "$(echo "$t_get / $t_curl" | bc -l)"
echo "(ratio = tovalin-get time / curl time; times include process start, best of 5)"
cookies_bin="$build/bench/net/bench-net-cookies"
if [[ -x $cookies_bin ]]; then
    echo
    echo "cookie store alone:"
    "$cookies_bin"
fi
echo "load average: $(cut -d" " -f1-3 /proc/loadavg)"
