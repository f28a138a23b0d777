# A branded setup file: qvx setup build gives its copy of Setup.exe another icon, version
# information and execution level; independent readers (python3-pefile, pev, icoutils and
# Windows' own GetFileVersionInfo/VerQueryValue/ExtractIconEx under Wine) read back what was
# asked, the file runs and installs its data, signs and verifies; bad values and files are
# refused with nothing written. Sourced by scripts/wine-tests.sh after signing.sh, which provide
# check, step, run_setup, $qvx, $setup_exe, $engine_exe, $work and the throw-away certificates.

step "A branded setup file"
brand=$work/branding
rm -rf "$brand"
mkdir -p "$brand"
branded="$brand/Branded Setup.exe"
python3 "$root/scripts/wine/make-test-icon.py" "$brand/test.ico"
brand_options=(--icon "$brand/test.ico" --version 2.3.4.5 --product-version 2.3 --company "Example Ltd"
    --product-name "Example Product" --description "Example installer" --copyright "© 2024 Example Ltd"
    --version-string OriginalFilename=ExampleSetup.exe --version-string "Comments=Built by qvx"
    --execution-level asInvoker)
check "qvx setup build with every branding option succeeds" \
    "$qvx" setup build -l "$setup_exe" -e "$engine_exe" -d "$work/data" "${brand_options[@]}" -o "$branded"
check "the same inputs give the same bytes" sh -c "'$qvx' setup build -l '$setup_exe' -e '$engine_exe' -d '$work/data' \
    $(printf "'%s' " "${brand_options[@]}") -o '$brand/again.exe' && cmp -s '$branded' '$brand/again.exe'"
check "branding that changes nothing gives the file resource compilers wrote, byte for byte" sh -c \
    "'$qvx' setup build -l '$setup_exe' -e '$engine_exe' -d '$work/data' -o '$brand/plain.exe' && \
     '$qvx' setup build -l '$setup_exe' -e '$engine_exe' -d '$work/data' --version-string InternalName=Setup -o '$brand/same.exe' && \
     cmp -s '$brand/plain.exe' '$brand/same.exe'"
check "the given Setup.exe is unchanged (the size marker still unpatched)" \
    sh -c "LC_ALL=C grep -a -q 'QVX_SIZEXXXX' '$setup_exe'"
check "qvx setup test passes and names the resources" sh -c "'$qvx' setup test '$branded' >'$brand/test.log' 2>&1 && \
    grep -qx 'resources: version 2.3.4.5, manifest asInvoker, icon of 3 images: OK' '$brand/test.log'"

# python3-pefile (Debian's python3 has it, whatever python3 is first on PATH).
cat >"$brand/pefile-read.py" <<'PY'
import sys, pefile
pe = pefile.PE(sys.argv[1])
ff = pe.VS_FIXEDFILEINFO[0]
v = lambda ms, ls: "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
print("fixed", v(ff.FileVersionMS, ff.FileVersionLS), v(ff.ProductVersionMS, ff.ProductVersionLS))
for info in pe.FileInfo[0]:
    for table in getattr(info, "StringTable", []):
        for key, value in sorted(table.entries.items()):
            print("%s/%s: %s" % (table.LangID.decode(), key.decode(), value.decode()))
print("checksum", "ok" if pe.verify_checksum() else "bad")
print("sections", " ".join("%s@%x" % (s.Name.rstrip(b"\0").decode(), s.VirtualAddress) for s in pe.sections))
print("size of image %x" % pe.OPTIONAL_HEADER.SizeOfImage)
# The layout after the resources: each section starts at the aligned end of the one before, and the
# image ends at the aligned end of the last (what a rewrite of a grown .rsrc must keep true).
align = pe.OPTIONAL_HEADER.SectionAlignment
up = lambda n: (n + align - 1) // align * align
s = pe.sections
print("layout", "ok" if all(s[i + 1].VirtualAddress == up(s[i].VirtualAddress + s[i].Misc_VirtualSize)
                          for i in range(len(s) - 1)) and
      pe.OPTIONAL_HEADER.SizeOfImage == up(s[-1].VirtualAddress + s[-1].Misc_VirtualSize) else "bad")
print("reloc at %x" % next(x.VirtualAddress for x in s if x.Name.rstrip(b"\0") == b".reloc"))
for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
    if entry.id == 24:
        data = entry.directory.entries[0].directory.entries[0].data.struct
        print("manifest", pe.get_data(data.OffsetToData, data.Size).decode())
PY
/usr/bin/python3 "$brand/pefile-read.py" "$branded" >"$brand/pefile.txt" 2>&1
pe_has() { grep -qxF -- "$1" "$brand/pefile.txt"; }
check "pefile: FILEVERSION 2.3.4.5, PRODUCTVERSION 2.3.0.0" pe_has "fixed 2.3.4.5 2.3.0.0"
check "pefile: the strings given" sh -c "grep -qxF '040904B0/CompanyName: Example Ltd' '$brand/pefile.txt' && \
    grep -qxF '040904B0/ProductName: Example Product' '$brand/pefile.txt' && \
    grep -qxF '040904B0/FileDescription: Example installer' '$brand/pefile.txt' && \
    grep -qxF '040904B0/LegalCopyright: © 2024 Example Ltd' '$brand/pefile.txt' && \
    grep -qxF '040904B0/FileVersion: 2.3.4.5' '$brand/pefile.txt' && grep -qxF '040904B0/ProductVersion: 2.3' '$brand/pefile.txt' && \
    grep -qxF '040904B0/OriginalFilename: ExampleSetup.exe' '$brand/pefile.txt' && \
    grep -qxF '040904B0/Comments: Built by qvx' '$brand/pefile.txt' && grep -qxF '040904B0/InternalName: Setup' '$brand/pefile.txt'"
check "pefile: the manifest asks for asInvoker" grep -q 'requestedExecutionLevel level="asInvoker"' "$brand/pefile.txt"
check "pefile: the PE checksum is right" pe_has "checksum ok"
/usr/bin/python3 "$brand/pefile-read.py" "$brand/plain.exe" >"$brand/pefile-plain.txt" 2>&1
reloc_at() { sed -n 's/^reloc at //p' "$1"; }
check "pefile: the base relocations moved behind the larger resources, SizeOfImage follows" sh -c \
    "grep -qx 'layout ok' '$brand/pefile.txt' && \
     [ \$((0x$(reloc_at "$brand/pefile.txt"))) -gt \$((0x$(reloc_at "$brand/pefile-plain.txt"))) ]"

# pev: readpe's data directories agree with the section table, peres lists the icon's images.
readpe -d "$branded" >"$brand/readpe.txt" 2>&1
peres -l "$branded" 2>/dev/null | grep -v '^DEBUG' >"$brand/peres.txt"
check "readpe: the base relocation directory points at the moved section" \
    grep -q "IMAGE_DIRECTORY_ENTRY_BASERELOC: *0x$(reloc_at "$brand/pefile.txt")\\b" "$brand/readpe.txt"
icon_sizes=$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(); print(" ".join(str(struct.unpack_from("<I", d, 6+16*i+8)[0]) for i in range(struct.unpack_from("<H", d, 4)[0])))' "$brand/test.ico")
check "peres: one RT_ICON per image, of its size" sh -c "[ \"\$(sed -n 's/^RT_ICON .*(\\([0-9]*\\) bytes)\$/\\1/p' '$brand/peres.txt' | tr '\\n' ' ')\" = '$icon_sizes ' ]"

# icoutils: the icon group, extracted as an .ico, holds the given images.
wrestool -x -t 14 "$branded" >"$brand/extracted.ico" 2>/dev/null
check "wrestool -x returns the given icon (directory and images byte for byte)" \
    sh -c "head -c $(stat -c %s "$brand/test.ico") '$brand/extracted.ico' | cmp -s - '$brand/test.ico'"
check "wrestool: the manifest asks for asInvoker" sh -c "wrestool -x --raw -t 24 '$branded' | grep -q 'level=\"asInvoker\"'"

# Windows' own readers, under Wine.
probe_exe=$brand/VersionProbe.exe
x86_64-w64-mingw32-g++ -std=c++20 -municode -O1 -s -static -o "$probe_exe" "$root/scripts/wine/VersionProbe.cpp" \
    -lversion -lshell32 -luser32 >"$brand/probe-build.log" 2>&1
wine "$probe_exe" "$(winepath -w "$branded")" 2>/dev/null | tr -d '\r' >"$brand/probe.txt"
probe_has() { grep -qxF -- "$1" "$brand/probe.txt"; }
check "VerQueryValue: FILEVERSION 2.3.4.5, PRODUCTVERSION 2.3.0.0" probe_has "fixed: 2.3.4.5 2.3.0.0"
check "VerQueryValue: the strings given" sh -c "grep -qxF '040904B0/CompanyName: Example Ltd' '$brand/probe.txt' && \
    grep -qxF '040904B0/LegalCopyright: © 2024 Example Ltd' '$brand/probe.txt' && \
    grep -qxF '040904B0/ProductVersion: 2.3' '$brand/probe.txt' && grep -qxF '040904B0/Comments: Built by qvx' '$brand/probe.txt'"
check "ExtractIconEx: one icon, handed out" sh -c "grep -qx 'icons: 1' '$brand/probe.txt' && grep -qx 'extracted: yes' '$brand/probe.txt'"

rm -rf "$brand/installed"
QVX_INSTALL_DIR=$(winepath -w "$brand/installed") run_setup "$branded"
rc=$?
check "the branded setup file runs under Wine (exit code 0) and installs the data" sh -c "[ $rc = 0 ] && \
    cmp -s '$brand/installed/readme.txt' '$work/data/readme.txt' && cmp -s '$brand/installed/sub dir/random.bin' '$work/data/sub dir/random.bin'"

if [ -f "$work/signing/signer.pem" ]; then
    check "osslsigncode signs the branded file and verify passes" sh -c "osslsigncode sign -certs '$work/signing/signer.pem' \
        -key '$work/signing/signer.key' -n 'qvx branded setup' -in '$branded' -out '$brand/signed.exe' >'$brand/sign.log' 2>&1 && \
        osslsigncode verify -CAfile '$work/signing/ca.pem' -in '$brand/signed.exe' >'$brand/verify.log' 2>&1"
    check "qvx setup test passes after signing" sh -c "'$qvx' setup test '$brand/signed.exe' >'$brand/signed-test.log' 2>&1 && \
        grep -q '^resources: version 2.3.4.5' '$brand/signed-test.log' && grep -q '^signed: ' '$brand/signed-test.log'"
    check "a signed Setup.exe is refused as a launcher to brand" sh -c "osslsigncode sign -certs '$work/signing/signer.pem' \
        -key '$work/signing/signer.key' -in '$setup_exe' -out '$brand/SignedLauncher.exe' >/dev/null 2>&1 && \
        ! '$qvx' setup build -l '$brand/SignedLauncher.exe' -e '$engine_exe' --version 1.0 -o '$brand/refused.exe' 2>'$brand/refused.log' && \
        grep -q 'the launcher is signed' '$brand/refused.log' && [ ! -e '$brand/refused.exe' ]"
fi

refused() {  # refused <exit code> <message part> <setup build arguments...>: nothing written
    local code=$1 message=$2
    shift 2
    rm -f "$brand/refused.exe"
    "$qvx" setup build -e "$engine_exe" -o "$brand/refused.exe" "$@" >"$brand/refused.log" 2>&1
    local rc=$?
    [ "$rc" = "$code" ] && grep -qF -- "$message" "$brand/refused.log" && [ ! -e "$brand/refused.exe" ]
}
check "a native launcher with --icon is refused" \
    refused 1 "the launcher is not a Windows program: --icon needs Setup.exe" -l "$qvx" --force --icon "$brand/test.ico"
head -c 100 "$brand/test.ico" >"$brand/cut.ico"
check "an icon cut short is refused" refused 1 "cut.ico: image 1" -l "$setup_exe" --icon "$brand/cut.ico"
check "a version of five numbers is a usage error" refused 2 "more than four numbers" -l "$setup_exe" --version 1.2.3.4.5
check "a number over 65535 is a usage error" refused 2 "70000 is over 65535" -l "$setup_exe" --version 1.70000
printf '<assembly><unclosed></assembly>' >"$brand/bad.manifest"
check "a manifest that is not well-formed XML is refused" refused 1 "not well-formed XML" -l "$setup_exe" --manifest "$brand/bad.manifest"
