#!/usr/bin/env bash
# Makes a throwaway code-signing chain in DIR, once: a CA (ca.pem) and a
# code-signing certificate it issued (cert.pem, key.pem), RSA so that the
# same key signs the same bytes the same way.
#   tests/e2e/throwaway_signer.sh DIR
set -euo pipefail
dir="$1"
[ -f "$dir/cert.pem" ] && [ -f "$dir/key.pem" ] && [ -f "$dir/ca.pem" ] && exit 0
mkdir -p "$dir"
openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=tiprelay throwaway CA" -keyout "$dir/ca-key.pem" \
  -out "$dir/ca.pem" -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=tiprelay throwaway signer" -keyout "$dir/key.pem" -out "$dir/cert.csr" \
  2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >"$dir/ext.cnf"
openssl x509 -req -days 3650 -in "$dir/cert.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca-key.pem" -CAcreateserial \
  -extfile "$dir/ext.cnf" -out "$dir/cert.pem" 2>/dev/null
