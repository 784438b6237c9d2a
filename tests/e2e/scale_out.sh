#!/usr/bin/env bash
# Two stateless tipservers behind nginx's stream proxy: every query is
# answered, identically whichever server answers, and still answered after
# one server is killed mid-run.
#   tests/e2e/scale_out.sh [path/to/tipserver]
set -euo pipefail
cd "$(dirname "$0")/../.."
tipserver="$(realpath "${1:-build/native/bin/tipserver}")"
catalogue="$(realpath server/sample/catalogue.json)"
work="$(mktemp -d /tmp/tiprelay-scale.XXXXXX)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "scale-out: FAIL: $*" >&2; exit 1; }

# Both servers put the same picture address into their answers, as servers
# behind one public name do.
start_server() {
  local log="$work/server$1.log"
  "$tipserver" serve --catalogue "$catalogue" --listen 127.0.0.1:0 --http-listen 127.0.0.1:0 \
    --public-url http://tips.example.net:8080 >"$log" 2>&1 &
  pids+=($!)
  local port=""
  for _ in $(seq 1 50); do
    port="$(sed -n 's/.*listening tips=127.0.0.1:\([0-9]*\).*/\1/p' "$log")"
    [ -n "$port" ] && break
    sleep 0.1
  done
  [ -n "$port" ] || fail "server $1 did not start: $(cat "$log")"
  started_port="$port"
}
start_server 1; port1="$started_port"; pid1="${pids[-1]}"
start_server 2; port2="$started_port"

nginx_module=/usr/lib/nginx/modules/ngx_stream_module.so
[ -f "$nginx_module" ] || fail "nginx stream module missing ($nginx_module)"
front=""
for _ in $(seq 1 20); do
  candidate="$(shuf -i 20000-60000 -n 1)"
  cat >"$work/nginx.conf" <<CONF
load_module $nginx_module;
daemon off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/nginx-error.log warn;
events { worker_connections 1024; }
stream {
  upstream tipservers {
    server 127.0.0.1:$port1 max_fails=1 fail_timeout=10s;
    server 127.0.0.1:$port2 max_fails=1 fail_timeout=10s;
  }
  server {
    listen 127.0.0.1:$candidate;
    proxy_pass tipservers;
    proxy_connect_timeout 1s;
    proxy_next_upstream on;
  }
}
CONF
  nginx -p "$work" -c "$work/nginx.conf" &
  npid=$!
  sleep 0.5
  if kill -0 "$npid" 2>/dev/null; then pids+=("$npid"); front="$candidate"; break; fi
done
[ -n "$front" ] || fail "nginx did not start: $(cat "$work/nginx-error.log" 2>/dev/null)"

query() { "$tipserver" query "127.0.0.1:$front" --user scale --pid 11 --last-time 0; }

reference="$(query)" || fail "first query through nginx failed"
echo "$reference" | grep -q '^status: 0' || fail "unexpected answer: $reference"
answered=1
for i in $(seq 2 40); do
  if [ "$i" -eq 20 ]; then kill "$pid1"; wait "$pid1" 2>/dev/null || true; fi
  answer="$(query)" || fail "query $i through nginx failed"
  [ "$answer" = "$reference" ] || fail "query $i answered differently:\n$answer"
  answered=$((answered + 1))
done

served1="$(grep -c 'query peer=' "$work/server1.log" || true)"
served2="$(grep -c 'query peer=' "$work/server2.log" || true)"
[ "$served1" -gt 0 ] || fail "server 1 answered nothing before it was killed"
[ "$served2" -gt 0 ] || fail "server 2 answered nothing"
echo "scale-out: $answered queries answered identically through nginx (server 1: $served1, server 2: $served2; server 1 killed after query 19)"
