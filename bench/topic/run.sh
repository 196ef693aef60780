#!/usr/bin/env bash
# Times tovalin-export reading a generated topic from a real static server on loopback, beside
# curl fetching the very same addresses in the same run: 200 pages, then 2,000 pages to show the
# cost grows linearly with the topic.
#
# usage: bench/topic/run.sh [BUILD_DIR] [RUNS]   (BUILD_DIR defaults to build/default)
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${1:-build/default}
runs=${2:-3}
exporter=$build/tools/export/tovalin-export
[ -x "$exporter" ] || { echo "no $exporter: build the project first" >&2; exit 2; }
nginx_bin=${NGINX:-/usr/sbin/nginx}

work=$(mktemp -d /tmp/tovalin-bench.XXXXXX)
nginx_pid=
cleanup() {
    if [ -n "$nginx_pid" ]; then kill "$nginx_pid" 2>/dev/null || true; wait "$nginx_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$work/site" "$work/nginx"
cat > "$work/nginx.conf" <<CONF
daemon off;
worker_processes 1;
user root;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log warn;
events { worker_connections 64; }
http {
    access_log off;
    sendfile on;
    tcp_nopush on;
    keepalive_timeout 60s;
    keepalive_requests 100000;
    default_type text/html;
    client_body_temp_path $work/nginx;
    proxy_temp_path $work/nginx;
    fastcgi_temp_path $work/nginx;
    uwsgi_temp_path $work/nginx;
    scgi_temp_path $work/nginx;
    server {
        listen 127.0.0.1:$port;
        root $work/site;
    }
}
CONF
"$nginx_bin" -p "$work/nginx" -c "$work/nginx.conf" &
nginx_pid=$!
for _ in $(seq 50); do
    curl -s -o /dev/null "http://127.0.0.1:$port/" && break
    sleep 0.1
done

now() { date +%s.%N; }
elapsed() { python3 -c "print(f'{$2 - $1:.3f}')"; }
best() { printf '%s\n' "$@" | sort -n | head -1; }

printf '%-7s %-10s %-10s %-7s %-6s %s\n' pages export_s curl_s ratio MB posts
declare -A export_best
for pages in 200 2000; do
    base="http://127.0.0.1:$port/n$pages"
    python3 bench/topic/make_topic.py "$work/site/n$pages" "$pages" "$base" > "$work/addresses-$pages"
    # curl reads the same addresses over one kept-alive connection, bodies discarded.
    sed 's/.*/url = "&"\noutput = "\/dev\/null"/' "$work/addresses-$pages" > "$work/curl-$pages.cfg"
    megabytes=$(du -sm "$work/site/n$pages" | cut -f1)
    first=$(head -1 "$work/addresses-$pages")

    export_times=(); curl_times=()
    for _ in $(seq "$runs"); do
        t0=$(now); "$exporter" "$first" --format json > /dev/null; t1=$(now)
        export_times+=("$(elapsed "$t0" "$t1")")
        t0=$(now); curl -s -K "$work/curl-$pages.cfg"; t1=$(now)
        curl_times+=("$(elapsed "$t0" "$t1")")
    done
    # Timed runs write to /dev/null as curl does; this run checks what the export writes.
    "$exporter" "$first" --format json > "$work/out.json"
    # The export must really have read the whole topic.
    read -r fetched posts < <(python3 -c "import json,sys; d=json.load(open('$work/out.json')); print(len(d['pages']), len(d['posts']))")
    if [ "$fetched" != "$pages" ]; then
        echo "export fetched $fetched of $pages pages" >&2
        exit 1
    fi
    e=$(best "${export_times[@]}"); c=$(best "${curl_times[@]}")
    export_best[$pages]=$e
    printf '%-7s %-10s %-10s %-7s %-6s %s\n' "$pages" "$e" "$c" \
        "$(python3 -c "print(f'{$e / $c:.2f}')")" "$megabytes" "$posts"
done
echo "2000 pages cost $(python3 -c "print(f'{${export_best[2000]} / ${export_best[200]}:.1f}')")x what 200 do (best of $runs runs each)"
