# A setup file signed after it is built (build, then sign): a throw-away CA and code-signing
# certificate made with openssl, the setup file signed with osslsigncode and verified, read by
# qvx, and run under Wine. Sourced by scripts/wine-tests.sh, which provides check, step,
# run_setup, $qvx, $setup_exe, $engine_exe, $method and $work.

step "A signed setup file"
sign=$work/signing
rm -rf "$sign"
mkdir -p "$sign"
signed="$sign/Signed Setup.exe"

make_certificates() {
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=qvx throw-away CA" \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" \
        -keyout "$sign/ca.key" -out "$sign/ca.pem" &&
    openssl req -newkey rsa:2048 -nodes -subj "/CN=qvx throw-away signer" \
        -keyout "$sign/signer.key" -out "$sign/signer.csr" &&
    printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' \
        >"$sign/signer.ext" &&
    openssl x509 -req -days 2 -in "$sign/signer.csr" -CA "$sign/ca.pem" -CAkey "$sign/ca.key" \
        -CAcreateserial -extfile "$sign/signer.ext" -out "$sign/signer.pem"
} >"$sign/openssl.log" 2>&1
flip_byte() {  # flip_byte <file> <offset>: every bit of one byte inverted
    local byte
    byte=$(od -An -t u1 -j "$2" -N 1 "$1" | tr -d ' ')
    printf "\\$(printf '%03o' $((byte ^ 255)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
qvx_out() {  # qvx_out <file for stdout and stderr> <qvx arguments...>
    local out=$1
    shift
    "$qvx" "$@" >"$out" 2>&1
}

check "a throw-away CA and code-signing certificate" make_certificates
check "qvx setup build succeeds" "$qvx" setup build -l "$setup_exe" -e "$engine_exe" -d "$work/data" -m "$method" -o "$sign/unsigned.exe"
check "osslsigncode signs the built setup file" sh -c "osslsigncode sign -certs '$sign/signer.pem' -key '$sign/signer.key' \
    -n 'qvx test setup' -in '$sign/unsigned.exe' -out '$signed' >'$sign/sign.log' 2>&1"
check "osslsigncode verify passes with the throw-away CA" sh -c "osslsigncode verify -CAfile '$sign/ca.pem' -in '$signed' >'$sign/verify.log' 2>&1"
check "qvx setup test passes and says the file is signed" \
    sh -c "'$qvx' setup test '$signed' >'$sign/test.log' 2>&1 && grep -q '^signed: certificate table of [0-9]* bytes' '$sign/test.log' && ! grep -q warning '$sign/test.log'"
check "qvx setup info reads it" sh -c "'$qvx' setup info '$signed' >'$sign/info.log' 2>&1 && grep -q '^signed: ' '$sign/info.log'"
check "qvx list reads the engine's archive" sh -c "'$qvx' list '$signed' 2>&1 | grep -q 'Installer.Quorvex.exe'"
check "qvx list --block 2 reads the data" sh -c "'$qvx' list --block 2 '$signed' 2>&1 | grep -q 'sub dir.random.bin'"

rm -rf "$sign/installed"
QVX_INSTALL_DIR=$(winepath -w "$sign/installed") run_setup "$signed"
rc=$?
check "the signed setup file runs under Wine (exit code 0)" [ "$rc" = 0 ]
check "and installs the data" sh -c "cmp -s '$sign/installed/readme.txt' '$work/data/readme.txt' && \
    cmp -s '$sign/installed/sub dir/random.bin' '$work/data/sub dir/random.bin'"

cp "$signed" "$sign/appended.exe"
printf 'x' >>"$sign/appended.exe"
qvx_out "$sign/appended.log" setup test "$sign/appended.exe"
check "bytes behind the certificate table: setup test warns" grep -q 'warning: 1 byte follows the certificate table' "$sign/appended.log"
head -c -1 "$signed" >"$sign/cut.exe"
check "a signed setup file cut short fails setup test" sh -c "! '$qvx' setup test '$sign/cut.exe' >/dev/null 2>&1"
cp "$signed" "$sign/damaged.exe"
offset=$(stat -c %s "$setup_exe")
flip_byte "$sign/damaged.exe" $((offset + 100))  # inside the engine's compressed data
check "a damaged signed setup file fails setup test and osslsigncode verify" \
    sh -c "! '$qvx' setup test '$sign/damaged.exe' >/dev/null 2>&1 && ! osslsigncode verify -CAfile '$sign/ca.pem' -in '$sign/damaged.exe' >/dev/null 2>&1"
