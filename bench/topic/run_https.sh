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
work=$(mktemp -d /tmp/tovalin-bench-tls.XXXXXX)
source bench/topic/static_site.sh

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

start_static_site ssl "ssl_certificate $work/site.pem; ssl_certificate_key $work/site.key; ssl_protocols TLSv1.2 TLSv1.3;" \
    --cacert "$work/ca.pem"

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
