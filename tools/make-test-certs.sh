#!/usr/bin/env bash
# Makes the certificates and key stores the HTTPS tests use, into DIR:
#   ca.pem ca.key            the test CA
#   server.pem server.key    server certificate for 127.0.0.1 and localhost
#   other.pem other.key      server certificate for other.example only
#   client.pem client.key    client certificate signed by the test CA
#   wrong-ca.pem wrong-ca.key  an unrelated CA
#   store.p12                the test CA plus the client certificate and key
#   ca-only.p12              the test CA only, no client identity
#   wrong-ca.p12             the unrelated CA only
#   password.txt             the password of the three stores (first line)
# Runs without a locale or an environment (env -i) and does nothing when DIR
# already holds a complete set.
set -euo pipefail
export PATH=/usr/local/bin:/usr/bin:/bin${PATH:+:$PATH}
export LC_ALL=C
# Never pick up a system or user OpenSSL configuration.
export OPENSSL_CONF=/dev/null

if [ $# -ne 1 ]; then
  echo "usage: $0 DIR" >&2
  exit 2
fi
dir=$1
mkdir -p "$dir"
cd "$dir"

files=(ca.pem ca.key server.pem server.key other.pem other.key client.pem client.key
       wrong-ca.pem wrong-ca.key store.p12 ca-only.p12 wrong-ca.p12 password.txt)
complete=yes
[ -e .complete ] || complete=no
for f in "${files[@]}"; do [ -s "$f" ] || complete=no; done
[ "$complete" = yes ] && exit 0
rm -f .complete

umask 077
cat > openssl.cnf <<'CNF'
[req]
distinguished_name = dn
prompt = no
[dn]
[ca]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[server]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = IP:127.0.0.1, DNS:localhost
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[other]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:other.example
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[client]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = clientAuth
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
CNF

key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1"; }

make_ca() {  # name subject
  key "$1.key"
  openssl req -new -x509 -config openssl.cnf -extensions ca -key "$1.key" -subj "$2" -days 3650 \
    -set_serial "0x$(openssl rand -hex 8)" -out "$1.pem"
}

make_cert() {  # name subject extensions
  key "$1.key"
  openssl req -new -config openssl.cnf -key "$1.key" -subj "$2" -out "$1.csr"
  openssl x509 -req -in "$1.csr" -CA ca.pem -CAkey ca.key -set_serial "0x$(openssl rand -hex 8)" -days 3650 \
    -extfile openssl.cnf -extensions "$3" -out "$1.pem" 2>/dev/null
  rm -f "$1.csr"
}

make_ca ca "/O=velm tests/CN=velm test CA"
make_ca wrong-ca "/O=velm tests/CN=velm unrelated CA"
make_cert server "/O=velm tests/CN=127.0.0.1" server
make_cert other "/O=velm tests/CN=other.example" other
make_cert client "/O=velm tests/CN=velm test client" client

echo "velm-test-store" > password.txt
# AES and SHA-256 throughout, so OpenSSL 3 reads the stores without its legacy provider.
p12=(-passout file:password.txt -certpbe AES-256-CBC -keypbe AES-256-CBC -macalg sha256)
openssl pkcs12 -export "${p12[@]}" -in client.pem -inkey client.key -certfile ca.pem -name "velm test client" \
  -out store.p12
openssl pkcs12 -export "${p12[@]}" -nokeys -in ca.pem -out ca-only.p12
openssl pkcs12 -export "${p12[@]}" -nokeys -in wrong-ca.pem -out wrong-ca.p12
chmod 644 ./*.pem
touch .complete
