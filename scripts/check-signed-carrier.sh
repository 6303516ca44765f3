#!/usr/bin/env bash
# A carrier as a release pipeline makes it: kpack make, then an Authenticode
# signature with a throwaway certificate; the signature must verify, kpack
# must list and extract the signed carrier, and refuse to stamp it again. The
# signed carrier is left as OUT_DIR/Setup.exe for the run under Wine.
#   check-signed-carrier.sh OUT_DIR KPACK SETUP_EXE PAYLOAD_DIR
set -u
out=${1:?} kpack=${2:?} setup=${3:?} payload=${4:?}
fail() { echo "check-signed-carrier: $*" >&2; exit 1; }
rm -rf "$out" && mkdir -p "$out" || exit 1
cd "$out" || exit 1
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=Kivra throwaway test signer" -addext extendedKeyUsage=codeSigning >openssl.log 2>&1 ||
  fail "openssl: $(cat openssl.log)"
"$kpack" make "$payload" "$setup" unsigned.exe || fail "kpack make failed"
osslsigncode sign -certs cert.pem -key key.pem -n "Kivra Setup" -in unsigned.exe -out Setup.exe >sign.log 2>&1 ||
  fail "osslsigncode sign: $(cat sign.log)"
osslsigncode verify -in Setup.exe -CAfile cert.pem >verify.log 2>&1 || fail "the signature does not verify: $(cat verify.log)"
grep -q 'invalid PE checksum' verify.log && fail "the signed carrier's checksum is wrong"

"$kpack" list Setup.exe >list.log || fail "kpack list of the signed carrier failed"
grep -q 'bytes after it (ignored)' list.log && grep -q '^carrier: .*signed (' list.log ||
  fail "kpack list does not show the signature: $(cat list.log)"
"$kpack" extract Setup.exe files >/dev/null || fail "kpack extract of the signed carrier failed"
diff -r "$payload" files >/dev/null || fail "kpack extract gave other files than were packed"
"$kpack" make "$payload" Setup.exe again.exe 2>stamp.log
[ $? = 4 ] && grep -q 'then sign' stamp.log || fail "kpack make stamped a signed carrier"
[ ! -e again.exe ] || fail "kpack left again.exe"
echo "check-signed-carrier: signed, verified, listed and extracted; stamping it again is refused"
