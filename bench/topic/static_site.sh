# Sourced by the topic benchmarks: a static nginx site on a free loopback port, serving $work/site,
# stopped and removed (with $work) when the benchmark's shell exits, and the timing helpers.
#
#   work=$(mktemp -d ...); source bench/topic/static_site.sh
#   start_static_site                       # plain http; sets $port
#   start_static_site "ssl" "ssl_certificate $work/site.pem; ..."   # https
nginx_bin=${NGINX:-/usr/sbin/nginx}
nginx_pid=
cleanup() {
    if [ -n "$nginx_pid" ]; then kill "$nginx_pid" 2>/dev/null || true; wait "$nginx_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

# start_static_site [LISTEN_FLAGS] [SERVER_DIRECTIVES] [CURL_PROBE_ARGS...]
start_static_site() {
    local listen_flags=${1:-} directives=${2:-}
    shift $(( $# > 2 ? 2 : $# ))
    local scheme=http
    [ -z "$listen_flags" ] || scheme=https
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
        listen 127.0.0.1:$port $listen_flags;
        $directives
        root $work/site;
    }
}
CONF
    "$nginx_bin" -p "$work/nginx" -c "$work/nginx.conf" &
    nginx_pid=$!
    for _ in $(seq 50); do
        curl -s "$@" -o /dev/null "$scheme://127.0.0.1:$port/" && break
        sleep 0.1
    done
}

# Runs a command and prints "wall cpu" in seconds (cpu = user + system).
timed() {
    local TIMEFORMAT='%3R %3U %3S'
    { time "$@" > /dev/null 2> /dev/null; } 2> "$work/time"
    awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$work/time"
}
best() { printf '%s\n' "$@" | sort -n | head -1; }
ratio() { python3 -c "print(f'{$1 / $2:.2f}')"; }
