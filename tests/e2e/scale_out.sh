#!/usr/bin/env bash
# Two tipservers behind nginx's stream proxy answer every query identically,
# also after one is killed mid-run.
#   tests/e2e/scale_out.sh [path/to/tipserver]
set -euo pipefail
. "$(dirname "$0")/e2e_begin.sh" scale-out
TR_TIPSERVER="$(realpath "${1:-build/native/bin/tipserver}")"
module=/usr/lib/nginx/modules/ngx_stream_module.so
[ -f "$module" ] || tr_fail "nginx stream module missing ($module)"

# One public name, so the same picture address in both answers.
for n in 1 2; do
  tr_server_start server/sample/catalogue.json "$work/server$n.log" --public-url http://tips.example.net:8080 ||
    tr_fail "server $n did not start"
  eval "port$n=$TR_TIPS_PORT pid$n=$TR_SERVER_PID"
done
front="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
cat >"$work/nginx.conf" <<CONF
load_module $module; daemon off; worker_processes 1; pid $work/nginx.pid; error_log $work/nginx-error.log warn;
events { worker_connections 1024; }
stream {
  upstream tipservers {
    server 127.0.0.1:$port1 max_fails=1 fail_timeout=10s;
    server 127.0.0.1:$port2 max_fails=1 fail_timeout=10s;
  }
  server { listen 127.0.0.1:$front; proxy_pass tipservers; proxy_connect_timeout 1s; proxy_next_upstream on; }
}
CONF
nginx -p "$work" -c "$work/nginx.conf" &
TR_PIDS+=("$!")
query() { "$TR_TIPSERVER" query "127.0.0.1:$front" --user scale --pid 11 --last-time 0; }
answered() { reference="$(query 2>/dev/null)"; }
tr_wait_until 5 answered || tr_fail "no answer through nginx: $(cat "$work/nginx-error.log")"
grep -q '^status: 0' <<<"$reference" || tr_fail "nginx's answer: $reference"
for i in $(seq 2 40); do
  if [ "$i" -eq 20 ]; then kill "$pid1"; wait "$pid1" 2>/dev/null || true; fi
  [ "$(query)" = "$reference" ] || tr_fail "query $i answered differently or not at all"
done
# A server writes its log in batches and flushes it as it stops: count once
# both have stopped.
kill "$pid2"
wait "$pid2" 2>/dev/null || true
served1="$(grep -c 'query peer=' "$work/server1.log" || true)"
served2="$(grep -c 'query peer=' "$work/server2.log" || true)"
[ "$served1" -gt 0 ] && [ "$served2" -gt 0 ] && [ $((served1 + served2)) -eq 40 ] ||
  tr_fail "not every query logged, or a server answered nothing (server 1: $served1, server 2: $served2)"
echo "scale-out: 40 queries answered identically through nginx (server 1: $served1, server 2: $served2; server 1 killed after query 19)"
