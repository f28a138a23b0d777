#!/usr/bin/env bash
# The release stage: makes the bundles with scripts/release.sh and checks them as their users get
# them.
#   - Repeatable: a second run (another umask, time zone and staging folder; the build trees
#     reused) gives the same bytes; no bundled file names the folder it was built in; building
#     the same commit again relinks nothing.
#   - The .deb, unpacked with dpkg-deb -x into an empty folder: root owns every file, it depends
#     (with minimum versions) on exactly the packages of the shared libraries its programs load
#     (readelf, dpkg-query); its qvx --version names the commit; man -l reads its
#     page; examples/library builds against its headers and library with CMake and with
#     pkg-config, and runs.
#   - The tarball: an install prefix, whose qvx and launcher build a setup file that runs.
#   - The zip, unpacked into an empty folder: its SHA256SUMS holds; under Wine its qvx.exe,
#     Setup.exe and QuorvexEngine.exe alone build a setup file, which installs the data.
#
#   scripts/release-tests.sh             exit 0 when every check passed
#   scripts/release-tests.sh --clones    instead: release.sh in two fresh clones of HEAD (other
#                                        paths, umask 077 and another time zone in one), bundles
#                                        compared; builds everything twice (minutes, not for CI)
# Environment: QVX_RELEASE_WINDOWS_BUILD as for release.sh (the test stage passes build/mingw).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. "$root/scripts/wine/checks.sh"
work=$root/build/release-tests
rm -rf "$work"
mkdir -p "$work"

same_bundles() {  # same_bundles DIR_A DIR_B: the same file names, each with the same bytes
    [ "$(ls "$1")" = "$(ls "$2")" ] || return 1
    local f
    for f in "$1"/*; do cmp "$f" "$2/${f##*/}" || return 1; done
}
runs_ok() {  # runs_ok PROGRAM ARG...: it succeeds and its last line is OK; its output shown otherwise
    local out
    out=$("$@" 2>&1) && [ "${out##*$'\n'}" = OK ] && return 0
    printf '%s\n' "$out" | tail -20
    return 1
}
needed_packages() {  # needed_packages PROGRAM...: the Debian packages of the shared libraries they load
    readelf -d "$@" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p' | sort -u | while read -r soname; do
        dpkg-query -S "*/x86_64-linux-gnu/$soname" | cut -d: -f1
    done | sort -u | paste -sd, -
}
versioned_depends() {  # versioned_depends DEPENDS: its packages that carry a minimum version, sorted
    printf '%s\n' "$1" | sed 's/, /\n/g' | sed -n 's/ (>= [^)]*)$//p' | sort -u | paste -sd, -
}
finish() {
    printf '\n%d checks, %d failed\n' "$checks" "$failures"
    [ "$failures" = 0 ]
    exit
}

if [ "${1:-}" = --clones ]; then
    step "release.sh in two fresh clones of HEAD"
    for side in a b; do git clone -q --no-local "$root" "$work/clone-$side" || exit 1; done
    (cd "$work/clone-a" && ./scripts/release.sh) >"$work/clone-a.log" 2>&1
    check "the first run succeeds" [ $? = 0 ]
    (umask 077 && cd "$work/clone-b" && TZ=Asia/Tokyo ./scripts/release.sh) >"$work/clone-b.log" 2>&1
    check "the second run (umask 077, TZ=Asia/Tokyo) succeeds" [ $? = 0 ]
    check "both give the same bundles, byte for byte" same_bundles "$work/clone-a/dist" "$work/clone-b/dist"
    finish
fi

step "The bundles (scripts/release.sh)"
./scripts/release.sh >"$work/release-1.log" 2>&1
rc=$?
check "release.sh succeeds" [ $rc = 0 ]
[ $rc = 0 ] || { tail -30 "$work/release-1.log"; finish; }
version=$(sed -n 's/^== qvx \([^ ]*\), files dated.*/\1/p' "$work/release-1.log")
commit=$(git rev-parse --short=12 HEAD)
[ -z "$(git status --porcelain --untracked-files=no)" ] || commit=$commit-dirty
zip=$root/dist/qvx-$version-windows-x86_64.zip
tarball=$root/dist/qvx-$version-linux-x86_64.tar.gz
deb=$root/dist/qvx_${version}_amd64.deb
check "dist/SHA256SUMS names the three bundles and holds" \
    sh -c "cd dist && [ \$(wc -l <SHA256SUMS) = 3 ] && sha256sum --quiet -c SHA256SUMS"
mkdir -p "$work/first" "$work/second"
cp "$zip" "$tarball" "$deb" dist/SHA256SUMS "$work/first/"

step "Repeatable"
qvx_binary=build/dist-linux/tools/qvx/qvx
before=$(stat -c %Y "$qvx_binary")
(umask 077 && TZ=Asia/Tokyo QVX_RELEASE_STAGE="$work/stage-2" ./scripts/release.sh) >"$work/release-2.log" 2>&1
check "a second run (umask 077, TZ=Asia/Tokyo, another staging folder) succeeds" [ $? = 0 ]
cp "$zip" "$tarball" "$deb" dist/SHA256SUMS "$work/second/"
check "and gives the same bundles, byte for byte" same_bundles "$work/first" "$work/second"
check "no file of the bundles names the folder they were built in" \
    sh -c "! grep -rlF '$root' '$work/stage-2'"
check "building the same commit again relinked nothing" [ "$(stat -c %Y "$qvx_binary")" = "$before" ]

step "The Debian package"
deb_root=$work/deb
mkdir -p "$deb_root"
check "dpkg-deb -x unpacks it into an empty folder" dpkg-deb -x "$deb" "$deb_root"
check "root owns every file" sh -c "[ \"\$(dpkg-deb -c '$deb' | awk '{print \$2}' | sort -u)\" = root/root ]"
depends=$(dpkg-deb -f "$deb" Depends)
needed=$(needed_packages "$deb_root/usr/bin/qvx" "$deb_root/usr/libexec/qvx/Setup")
check "it depends, with versions, on the packages of the libraries its programs load ($needed)" \
    test -n "$needed" -a "$(versioned_depends "$depends")" = "$needed"
for f in bin/qvx libexec/qvx/Setup lib/libinstcompress.a include/instcompress/InstCompress.h \
    lib/cmake/InstCompress/InstCompressConfig.cmake lib/pkgconfig/instcompress.pc share/man/man1/qvx.1.gz \
    share/bash-completion/completions/qvx share/doc/qvx/copyright share/doc/qvx/RELEASE-NOTES.md; do
    check "usr/$f" test -f "$deb_root/usr/$f"
done
base_version=${version%-dirty}
check "its qvx --version says 'qvx $base_version (commit $commit)'" \
    [ "$("$deb_root/usr/bin/qvx" --version)" = "qvx $base_version (commit $commit)" ]
MANWIDTH=80 MANPAGER=cat man -l "$deb_root/usr/share/man/man1/qvx.1.gz" >"$work/man.txt" 2>"$work/man.err"
check "man -l shows its manual page" sh -c "grep -q '^NAME' '$work/man.txt' && grep -q 'qvx setup build' '$work/man.txt'"
cmake -S examples/library -B "$work/example-cmake" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$deb_root/usr" >"$work/example-cmake.log" 2>&1
check "examples/library builds with find_package(InstCompress) from the package" \
    sh -c "cmake --build '$work/example-cmake' >>'$work/example-cmake.log' 2>&1"
check "and runs to its OK" runs_ok "$work/example-cmake/instcompress_example" "$work/cmake.spis"
flags=$(PKG_CONFIG_PATH="$deb_root/usr/lib/pkgconfig" pkg-config --cflags --libs instcompress)
check "examples/library builds with pkg-config from the package ($flags)" \
    sh -c "c++ -std=c++20 -O2 examples/library/main.cpp $flags -o '$work/example-pc'"
check "and runs to its OK" runs_ok "$work/example-pc" "$work/pc.spis"

step "The tarball"
tar -xzf "$tarball" -C "$work"
prefix=$work/qvx-$version-linux-x86_64
check "every file belongs to 0/0 and lies in qvx-$version-linux-x86_64/" \
    sh -c "[ \"\$(tar -tvzf '$tarball' --numeric-owner | awk '{print \$2}' | sort -u)\" = 0/0 ] &&
           ! tar -tzf '$tarball' | grep -v '^qvx-$version-linux-x86_64/'"
check "it is the same install prefix as the package's /usr, manual page uncompressed" \
    bash -c "diff <(cd '$prefix' && find . | sort) <(cd '$deb_root/usr' && find . | sed 's/qvx\.1\.gz\$/qvx.1/' | sort)"
mkdir -p "$work/tar-data/sub" "$work/tar-windows"
printf 'data\n' >"$work/tar-data/sub/file.txt"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >"%s"\n' "$work/tar-engine.args" >"$work/tar-engine.sh"
check "its qvx builds a setup file with its launcher" "$prefix/bin/qvx" setup build -q -l "$prefix/libexec/qvx/Setup" \
    -e "$work/tar-engine.sh" -d "$work/tar-data" -o "$work/TarSetup"
WINDIR=$work/tar-windows TMPDIR=$work "$work/TarSetup"
rc=$?
check "which runs and starts the engine with /SOURCE=" sh -c "[ $rc = 0 ] && grep -qx '/SOURCE=$work/TarSetup' '$work/tar-engine.args'"

step "The zip, under Wine"
mkdir -p "$work/zip"
check "unzip unpacks it into an empty folder" unzip -q "$zip" -d "$work/zip"
programs=$work/zip/qvx-$version-windows-x86_64
check "its SHA256SUMS holds" sh -c "cd '$programs' && sha256sum --quiet -c SHA256SUMS"
export WINEPREFIX=$root/build/wine/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wine wineboot -i >/dev/null 2>&1
fi
alone=$work/alone
mkdir -p "$alone" "$work/zip-data/docs"
cp "$programs/qvx.exe" "$programs/Setup.exe" "$programs/QuorvexEngine.exe" "$alone/"
cp README.md "$work/zip-data/"
cp docs/*.md "$work/zip-data/docs/"
head -c 100000 /dev/urandom >"$work/zip-data/random.bin"
(cd "$alone" && wine qvx.exe setup build -q -l Setup.exe -e QuorvexEngine.exe -d "$(winepath -w "$work/zip-data")" \
    -o MySetup.exe) >"$work/zip-build.log" 2>&1
check "the zip's qvx.exe builds a setup file from its Setup.exe and QuorvexEngine.exe" [ $? = 0 ]
check "the zip's qvx.exe tests it" sh -c "cd '$alone' && wine qvx.exe setup test MySetup.exe >/dev/null 2>&1"
(cd "$alone" && QVX_INSTALL_DIR=$(winepath -w "$work/zip-installed") wine MySetup.exe) >/dev/null 2>&1
check "the setup file runs" [ $? = 0 ]
check "and installs the data, file for file" diff -r "$work/zip-data" "$work/zip-installed"

finish
