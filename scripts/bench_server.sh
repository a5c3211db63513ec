#!/usr/bin/env bash
# orvclockd against nginx serving the published sync page: wrk runs the same load (threads,
# connections, duration) against each on loopback and the figures are printed side by side.
#   scripts/bench_server.sh [ORVCLOCKD] [SECONDS]
# nginx runs in the foreground from a temporary prefix with its own configuration; both
# servers and the folder are removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
orvclockd=${1:-build/bench/bin/orvclockd}
seconds=${2:-10}
threads=2
connections=64

# nginx comes with the test packages (installed without starting Debian's own service); wrk
# only serves this benchmark and starts no service.
scripts/setup-debian.sh
if ! command -v wrk >/dev/null; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends wrk
fi
nginx=$(PATH=$PATH:/usr/sbin command -v nginx)

work=$(mktemp -d)
chmod 755 "$work"  # nginx's workers may run as another user
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# A loopback port nothing answers on.
free_port() {
  local port
  for port in $(seq "$1" $(($1 + 200))); do
    (echo >"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return; }
  done
  echo "bench_server: no free port from $1" >&2
  exit 1
}

# orvclockd with the demo set on a free port; its first line names the address.
"$orvclockd" demo --dir "$work/demo" --port 0 >"$work/orvclockd.out" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  grep -q "listening on" "$work/orvclockd.out" 2>/dev/null && break
  sleep 0.1
done
orv_url=$(sed -n 's/^orvclockd listening on //p' "$work/orvclockd.out")
[ -n "$orv_url" ] || { echo "bench_server: orvclockd did not start" >&2; cat "$work/orvclockd.out" >&2; exit 1; }

nginx_port=$(free_port 18480)
"$orvclockd" --db "$work/demo/orvclockd.db" publish --dir "$work/www" \
  --base-url "http://127.0.0.1:$nginx_port" --update-user demo --update-pass demo >/dev/null

mkdir -p "$work/nginx/logs"
cat >"$work/nginx/nginx.conf" <<CONF
daemon off;
worker_processes auto;
pid $work/nginx/nginx.pid;
error_log $work/nginx/logs/error.log warn;
events { worker_connections 1024; }
http {
  access_log off;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  sendfile on;
  server {
    listen 127.0.0.1:$nginx_port;
    root $work/www;
    location = /sync.html { types {} default_type "text/html; charset=Shift_JIS"; }
  }
}
CONF
"$nginx" -p "$work/nginx" -e "$work/nginx/logs/error.log" -c "$work/nginx/nginx.conf" &
pids+=($!)
for _ in $(seq 100); do
  (echo >"/dev/tcp/127.0.0.1/$nginx_port") 2>/dev/null && break
  sleep 0.1
done

nginx_url="http://127.0.0.1:$nginx_port"
if command -v cmp >/dev/null && command -v curl >/dev/null; then
  cmp -s <(curl -s "$orv_url/sync.html") <(curl -s "$nginx_url/sync.html") ||
    { echo "bench_server: nginx does not serve the bytes orvclockd answers" >&2; exit 1; }
fi

# wrk --latency prints "99% <value><unit>"; the figures are turned into requests/s and ms.
run() {
  wrk -t"$threads" -c"$connections" -d"${seconds}s" --latency "$1/sync.html" >"$work/wrk.out"
  local rate p99 errors
  rate=$(awk '/^Requests\/sec:/ {print $2}' "$work/wrk.out")
  p99=$(awk '$1 == "99%" {v = $2; u = v; gsub(/[0-9.]/, "", u); gsub(/[a-z]/, "", v);
          f = (u == "us") ? 0.001 : (u == "s") ? 1000 : (u == "m") ? 60000 : 1; printf "%.2f", v * f}' "$work/wrk.out")
  errors=$(awk '/Non-2xx|Socket errors/ {print}' "$work/wrk.out" | tr '\n' ' ')
  echo "$rate $p99 ${errors:-none}"
}

read -r orv_rate orv_p99 orv_errors < <(run "$orv_url")
read -r ngx_rate ngx_p99 ngx_errors < <(run "$nginx_url")

echo "sync.html over loopback: wrk ${threads} threads, ${connections} connections, ${seconds} s each"
printf '  %-10s %14s %12s  %s\n' server "requests/s" "p99 ms" errors
printf '  %-10s %14.0f %12s  %s\n' orvclockd "$orv_rate" "$orv_p99" "$orv_errors"
printf '  %-10s %14.0f %12s  %s\n' nginx "$ngx_rate" "$ngx_p99" "$ngx_errors"
ratio=$(awk -v a="$orv_rate" -v b="$ngx_rate" 'BEGIN { printf "%.2f", (b > 0) ? a / b : 0 }')
verdict=$(awk -v r="$ratio" 'BEGIN { print (r >= 0.5) ? "met" : "NOT met" }')
echo "  target: orvclockd at least half of nginx's rate; orvclockd/nginx = $ratio ($verdict)"
