#!/usr/bin/env bash
# Times tovalin-export reading a generated 200-page topic over https from nginx on loopback,
# beside curl fetching the very same 200 addresses over one TLS connection, in the same run.
# A throwaway authority and server certificate are made for the run (openssl), trusted through
# SSL_CERT_FILE by the export and --cacert by curl; nothing is kept afterwards.
#
# Each figure is the best of RUNS runs (wall time, and processor time = user + system).
#
# usage: bench/topic/run_https.sh [BUILD_DIR] [RUNS] [PAGES]   (defaults: build/default, 7, 200)
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${1:-build/default}
runs=${2:-7}
pages=${3:-200}
exporter=$build/tools/export/tovalin-export
[ -x "$exporter" ] || { echo "no $exporter: build the project first" >&2; exit 2; }
nginx_bin=${NGINX:-/usr/sbin/nginx}

work=$(mktemp -d /tmp/tovalin-bench-tls.XXXXXX)
nginx_pid=
cleanup() {
    if [ -n "$nginx_pid" ]; then kill "$nginx_pid" 2>/dev/null || true; wait "$nginx_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

# The authority and a certificate for 127.0.0.1 (P-256 keys, as a current site would use).
(
    cd "$work"
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout ca.key \
        -out ca.pem -days 1 -subj "/CN=Tovalin bench CA" \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign"
    openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout site.key \
        -out site.csr -subj "/CN=127.0.0.1"
    printf 'subjectAltName=IP:127.0.0.1\n' > site.ext
    openssl x509 -req -in site.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out site.pem \
        -days 1 -extfile site.ext
) > /dev/null 2>&1

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
        listen 127.0.0.1:$port ssl;
        ssl_certificate $work/site.pem;
        ssl_certificate_key $work/site.key;
        ssl_protocols TLSv1.2 TLSv1.3;
        root $work/site;
    }
}
CONF
"$nginx_bin" -p "$work/nginx" -c "$work/nginx.conf" &
nginx_pid=$!
for _ in $(seq 50); do
    curl -s --cacert "$work/ca.pem" -o /dev/null "https://127.0.0.1:$port/" && break
    sleep 0.1
done

timed() {
    local TIMEFORMAT='%3R %3U %3S'
    { time "$@" > /dev/null 2> /dev/null; } 2> "$work/time"
    awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$work/time"
}
best() { printf '%s\n' "$@" | sort -n | head -1; }
ratio() { python3 -c "print(f'{$1 / $2:.2f}')"; }

base="https://127.0.0.1:$port/n$pages"
python3 bench/topic/make_topic.py "$work/site/n$pages" "$pages" "$base" > "$work/addresses"
# curl reads the same addresses over one kept-alive TLS connection, bodies discarded.
sed 's/.*/url = "&"\noutput = "\/dev\/null"/' "$work/addresses" > "$work/curl.cfg"
first=$(head -1 "$work/addresses")
export SSL_CERT_FILE=$work/ca.pem

# The export must really read the whole topic over TLS before it is timed.
"$exporter" "$first" --format json > "$work/out.json"
read -r fetched posts < <(python3 -c "import json; d=json.load(open('$work/out.json')); print(len(d['pages']), len(d['posts']))")
if [ "$fetched" != "$pages" ]; then
    echo "export fetched $fetched of $pages pages" >&2
    exit 1
fi

export_wall=(); export_cpu=(); curl_wall=(); curl_cpu=()
for _ in $(seq "$runs"); do
    read -r w c < <(timed "$exporter" "$first" --format json)
    export_wall+=("$w"); export_cpu+=("$c")
    read -r w c < <(timed curl -s --cacert "$work/ca.pem" -K "$work/curl.cfg")
    curl_wall+=("$w"); curl_cpu+=("$c")
done
ew=$(best "${export_wall[@]}"); ec=$(best "${export_cpu[@]}")
cw=$(best "${curl_wall[@]}"); cc=$(best "${curl_cpu[@]}")
printf '%-6s %-9s %-9s %-6s %-10s %-9s %-6s %s\n' pages export_s curl_s ratio export_cpu curl_cpu ratio posts
printf '%-6s %-9s %-9s %-6s %-10s %-9s %-6s %s\n' "$pages" "$ew" "$cw" "$(ratio "$ew" "$cw")" \
    "$ec" "$cc" "$(ratio "$ec" "$cc")" "$posts"
echo "(https, best of $runs runs each)"
