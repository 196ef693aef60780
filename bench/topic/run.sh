#!/usr/bin/env bash
# Times tovalin-export reading a generated topic from a real static server on loopback, beside
# curl fetching the very same addresses and a short Python reader doing the same cutting with
# http.client, in the same run: 200 pages, then 2,000 pages to show the
# cost grows linearly with the topic.
#
# Each figure is the best of RUNS runs (wall time, and processor time = user + system), which is
# the steadiest figure on a machine shared with other work.
#
# The same topic is also exported as Markdown, where every post goes through the HTML parser:
# md_s and md/json compare its wall time with the JSON export's (goal: within 2x).
#
# usage: bench/topic/run.sh [BUILD_DIR] [RUNS] [PAGES...]   (defaults: build/default, 7, 200 2000)
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${1:-build/default}
runs=${2:-7}
shift $(( $# > 2 ? 2 : $# ))
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(200 2000)
exporter=$build/tools/export/tovalin-export
[ -x "$exporter" ] || { echo "no $exporter: build the project first" >&2; exit 2; }
work=$(mktemp -d /tmp/tovalin-bench.XXXXXX)
source bench/topic/static_site.sh
start_static_site

printf '%-6s %-9s %-9s %-6s %-9s %-9s %-6s %-9s %-4s %-6s %-9s %s\n' pages export_s curl_s ratio \
    export_cpu curl_cpu ratio python_s MB posts md_s md/json
declare -A export_best export_best_cpu
for pages in "${sizes[@]}"; do
    base="http://127.0.0.1:$port/n$pages"
    python3 bench/topic/make_topic.py "$work/site/n$pages" "$pages" "$base" > "$work/addresses-$pages"
    # curl reads the same addresses over one kept-alive connection, bodies discarded.
    sed 's/.*/url = "&"\noutput = "\/dev\/null"/' "$work/addresses-$pages" > "$work/curl-$pages.cfg"
    megabytes=$(du -sm "$work/site/n$pages" | cut -f1)
    first=$(head -1 "$work/addresses-$pages")

    export_wall=(); export_cpu=(); curl_wall=(); curl_cpu=(); py_wall=(); md_wall=()
    for _ in $(seq "$runs"); do
        read -r w c < <(timed "$exporter" "$first" --format json)
        export_wall+=("$w"); export_cpu+=("$c")
        read -r w c < <(timed curl -s -K "$work/curl-$pages.cfg")
        curl_wall+=("$w"); curl_cpu+=("$c")
        read -r w c < <(timed python3 bench/topic/py_loader.py "$first")
        py_wall+=("$w")
        read -r w c < <(timed "$exporter" "$first" --format markdown)
        md_wall+=("$w")
    done
    # The Python reader must have walked the same pages.
    read -r py_pages _ < <(python3 bench/topic/py_loader.py "$first")
    if [ "$py_pages" != "$pages" ]; then
        echo "python reader fetched $py_pages of $pages pages" >&2
        exit 1
    fi
    # Timed runs write to /dev/null as curl does; this run checks what the export writes.
    "$exporter" "$first" --format json > "$work/out.json"
    # The export must really have read the whole topic.
    read -r fetched posts < <(python3 -c "import json,sys; d=json.load(open('$work/out.json')); print(len(d['pages']), len(d['posts']))")
    if [ "$fetched" != "$pages" ]; then
        echo "export fetched $fetched of $pages pages" >&2
        exit 1
    fi
    ew=$(best "${export_wall[@]}"); ec=$(best "${export_cpu[@]}")
    cw=$(best "${curl_wall[@]}"); cc=$(best "${curl_cpu[@]}")
    pw=$(best "${py_wall[@]}")
    mw=$(best "${md_wall[@]}")
    export_best[$pages]=$ew
    export_best_cpu[$pages]=$ec
    printf '%-6s %-9s %-9s %-6s %-9s %-9s %-6s %-9s %-4s %-6s %-9s %s\n' "$pages" "$ew" "$cw" "$(ratio "$ew" "$cw")" \
        "$ec" "$cc" "$(ratio "$ec" "$cc")" "$pw" "$megabytes" "$posts" "$mw" "$(ratio "$mw" "$ew")"
done
if [ -n "${export_best[2000]:-}" ] && [ -n "${export_best[200]:-}" ]; then
    echo "2000 pages cost $(ratio "${export_best[2000]}" "${export_best[200]}")x the wall time and" \
    "$(ratio "${export_best_cpu[2000]}" "${export_best_cpu[200]}")x the processor time of 200" \
    "(best of $runs runs each)"
fi
