#!/usr/bin/env bash
# One session of qvx.exe under Wine, as an installer author on Windows would use it, checking
# outcomes: an archive of a tree with nested folders, spaces and non-ASCII names (code page 1252,
# and 932 with --codepage), listed, tested, extracted and compared with the tree; a damaged
# archive; the names Windows cannot hold; a long path; a file in use by another process; links
# planted in the folder extract writes to; names equal ignoring case in several scripts; an
# interrupted extraction; a setup
# file built with Setup.exe and the example engine and run, with the engine's own list of the
# names it installed; and the same bytes from qvx.exe and the native qvx in any time zone.
#
#   scripts/wine/qvx-session.sh        exit 0 when every check passed
#
# Environment:
#   QVX            the tool under test, a command (default: wine build/mingw/tools/qvx/qvx.exe);
#                  QVX=build/debug/tools/qvx/qvx runs the same session on the native tool
#   QVX_NATIVE     the native qvx the bytes are compared with (default build/debug/tools/qvx/qvx)
#   QVX_MINGW_DIR  the mingw build with Setup.exe and QuorvexEngine.exe (default build/mingw)
# The programs must be built: cmake --build --preset mingw --target qvx Setup QuorvexEngine, and
# cmake --build --preset debug --target qvx. The Wine prefix is build/wine-session/prefix.
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
mingw=${QVX_MINGW_DIR:-$root/build/mingw}
qvx_exe=$mingw/tools/qvx/qvx.exe
QVX=${QVX:-wine $qvx_exe}
native=${QVX_NATIVE:-$root/build/debug/tools/qvx/qvx}
setup_exe=$mingw/launcher/Setup.exe
engine_exe=$mingw/examples/engine/QuorvexEngine.exe
session=$root/build/wine-session
work=$session/work

for program in "$native" "$setup_exe" "$engine_exe" "${QVX##* }"; do
    [ -f "$program" ] || { echo "qvx-session: $program is not built" >&2; exit 1; }
done

. "$root/scripts/wine/checks.sh"
skip() { printf '  skip  %s\n' "$*"; }
under_wine=false
[ "${QVX#wine }" != "$QVX" ] && under_wine=true

export WINEPREFIX=$session/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY=
# UTF-8 on the POSIX side, so that Wine hands qvx.exe the names as they are on disk; the ANSI code
# page of the Windows side is then 1252.
export LC_ALL=C.UTF-8
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    step "Preparing the Wine prefix (first boot takes a while)"
    mkdir -p "$WINEPREFIX"
    wine wineboot -i >/dev/null 2>&1 || exit 1
fi
# One Wine server for the whole session; it ends by itself 20 s after its last program.
wineserver -p20

rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1

# run <name> <qvx arguments...>: runs the tool under test in $work; stdout and stderr (carriage
# returns removed) go to <name>.out and <name>.err, the exit code to $rc.
rc=0
run() {
    local name=$1
    shift
    $QVX "$@" >"$name.raw" 2>"$name.err.raw"
    rc=$?
    tr -d '\r' <"$name.raw" >"$name.out"
    tr -d '\r' <"$name.err.raw" >"$name.err"
    rm -f "$name.raw" "$name.err.raw"
}
# one_error <name> <extended regex>: the command failed with exit code 1 and wrote exactly one
# line to stderr, which matches the pattern.
one_error() {
    [ "$rc" = 1 ] && [ "$(wc -l <"$1.err")" = 1 ] && grep -Eq "$2" "$1.err"
}
is_empty_dir() { [ -d "$1" ] && [ -z "$(ls -A "$1")" ]; }
# The folder holds nothing but its FIFO and file.txt of before.
is_empty_dir_but() { [ "$(ls -A "$1" | tr '\n' ' ')" = "fifo file.txt " ]; }
# The stored bytes of a name in a code page, in lower-case hex.
name_hex() { printf '%s' "$1" | iconv -f UTF-8 -t "$2" | xxd -p | tr -d '\n'; }
json_name_bytes() { jq -r --arg n "$2" '.entries[] | select(.name == $n) | .nameBytes' "$1"; }
# Every file below a directory with its size and modification time, in byte order (the archive
# keeps no directory times).
inventory() { (cd "$1" && find . -type f -printf '%P %s %T@\n' | LC_ALL=C sort); }
names_of() { (cd "$1" && find . -mindepth 1 -printf '%P\n' | LC_ALL=C sort); }
mode_of() { stat -c %a "$1"; }

# The tree: nested folders, spaces, non-ASCII names of code page 1252, a read-only file, times
# on even seconds (the archive keeps two-second steps) before and after the clamp used below.
make_tree() {
    local t=$1
    mkdir -p "$t/café au lait" "$t/nested/deeper/deepest" "$t/with spaces"
    printf 'Grüße aus Köln\n' >"$t/Ünïcödé.txt"
    printf 'espresso 2.50\ncafé crème 3.20\n' >"$t/café au lait/menu.txt"
    head -c 150000 /dev/urandom >"$t/nested/deeper/deepest/random.bin"
    seq 1 20000 >"$t/nested/numbers.txt"
    printf 'spaced out\n' >"$t/with spaces/a b c.txt"
    printf 'do not change me\n' >"$t/readonly.txt"
    find "$t" -type f -exec touch -d '2021-06-15 12:34:56 UTC' {} +
    touch -d '2019-03-01 08:00:00 UTC' "$t/nested/numbers.txt"
    chmod 444 "$t/readonly.txt"
}

# Local time is not UTC here (and has daylight saving time), so that the default of storing local
# times is seen; the last part sets its own zones. Wine passes TZ on to qvx.exe, whose C runtime
# reads it in its own format (name, hours west of UTC, name of the summer zone, with US dates), so
# the zones are written in the form both read alike; the tree's dates (June, 1 March) lie where
# the US and the European dates of summer time agree.
export TZ=CET-1CEST,M3.5.0,M10.5.0/3

step "An archive of a tree with non-ASCII names (code page 1252)"
make_tree tree
run create create -C tree tree.spis .
check "create succeeds" [ "$rc" = 0 ]
run list list tree.spis
check "list shows the names in UTF-8 with \\ separators" \
    sh -c "grep -q 'Ünïcödé.txt' list.out && grep -qF 'café au lait\\menu.txt' list.out && grep -qF 'nested\\deeper\\deepest\\random.bin' list.out"
run json list --json tree.spis
check "list --json is valid JSON with one entry per file" [ "$(jq '.entries | length' json.out 2>/dev/null)" = 6 ]
check "nameBytes of Ünïcödé.txt are its code page 1252 bytes" \
    [ "$(json_name_bytes json.out 'Ünïcödé.txt')" = "$(name_hex 'Ünïcödé.txt' CP1252)" ]
check "nameBytes of café au lait\\menu.txt are its code page 1252 bytes" \
    [ "$(json_name_bytes json.out 'café au lait\menu.txt')" = "$(name_hex 'café au lait\menu.txt' CP1252)" ]
check "the read-only file carries the read-only attribute, the others do not" \
    [ "$(jq -c '[.entries[] | select(.attributes % 2 == 1) | .name]' json.out)" = '["readonly.txt"]' ]
stamp() { jq -r --arg n "$2" '.entries[] | select(.name == $n) | .date + " " + .time' "$1"; }
check "times are stored as local time (UTC+2 in June, UTC+1 in March)" \
    [ "$(stamp json.out readonly.txt) $(stamp json.out 'nested\numbers.txt')" = "2021-06-15 14:34:56 2019-03-01 09:00:00" ]
"$native" list --json tree.spis >native.json 2>/dev/null
check "list --json gives what the native qvx gives" cmp -s json.out native.json
run test test tree.spis
check "test succeeds" [ "$rc" = 0 ]

step "Extracting into another folder"
run extract extract -C "out dir" tree.spis
check "extract succeeds" [ "$rc" = 0 ]
check "the same names and contents as the tree" diff -r tree "out dir"
check "the same modification times" [ "$(inventory tree)" = "$(inventory "out dir")" ]
check "readonly.txt is read-only again, menu.txt is writable" \
    eval '[ $((0$(mode_of "out dir/readonly.txt") & 0222)) = 0 ] && [ $((0$(mode_of "out dir/café au lait/menu.txt") & 0200)) != 0 ]'
run again extract -C "out dir" tree.spis
check "extracting again over existing files is refused without -f" [ "$rc" = 1 ]
check "and the files are kept" diff -r tree "out dir"

step "Another code page: 932"
mkdir -p tree932/フォルダ
printf 'こんにちは\n' >"tree932/日本語.txt"
printf 'ｶﾅ\n' >"tree932/フォルダ/表.txt"
run r932 create -C tree932 refused932.spis .
check "without --codepage the names are refused (not in code page 1252)" \
    one_error r932 '^qvx: .*(日本語|フォルダ|表).*: name cannot be stored in code page 1252$'
check "and no archive is written" [ ! -e refused932.spis ]
run c932 create --codepage 932 -C tree932 tree932.spis .
check "create --codepage 932 succeeds" [ "$rc" = 0 ]
run j932 list --codepage 932 --json tree932.spis
check "nameBytes of 日本語.txt are its code page 932 bytes" \
    [ "$(json_name_bytes j932.out '日本語.txt')" = "$(name_hex '日本語.txt' CP932)" ]
check "nameBytes of フォルダ\\表.txt are its code page 932 bytes" \
    [ "$(json_name_bytes j932.out 'フォルダ\表.txt')" = "$(name_hex 'フォルダ\表.txt' CP932)" ]
run x932 extract --codepage 932 -C out932 tree932.spis
check "extract --codepage 932 gives back the names and contents" eval '[ $rc = 0 ] && diff -r tree932 out932'
"$native" create --codepage 932 -C tree932 native932.spis . 2>/dev/null
check "the same archive as the native qvx" cmp -s tree932.spis native932.spis

step "A damaged archive"
# Compressible data, so that the entry is LH5: flipped bytes in its compressed data are found by
# the decoder or the checksum.
mkdir -p big
seq 1 60000 >big/big.txt
run cbig create -C big big.spis .
size=$(stat -c %s big.spis)
cp big.spis damaged.spis
printf '\x55\xaa\x55\xaa' | dd of=damaged.spis bs=1 seek=$((size / 2)) conv=notrunc status=none
run tdmg test damaged.spis
check "test fails with exit code 1 and one line" one_error tdmg '^qvx: damaged\.spis: .+'
mkdir -p damaged-out
run xdmg extract -C damaged-out damaged.spis
check "extract fails with exit code 1 and one line" one_error xdmg '^qvx: damaged\.spis: .+'
check "nothing is left behind, no temporary file either" is_empty_dir damaged-out

step "Names Windows cannot hold are refused"
# Made here on the POSIX side, where such names can exist; each tree also holds a good file.
refusal() {  # refusal <name> <reason>: create of a tree holding <name> fails, names it and gives
    # a reason matching <reason> (a reason about the name, not a failure to open the file)
    local bad=$1 reason=$2 dir quoted
    dir=refuse-$(printf '%s' "$bad" | tr -c 'A-Za-z0-9' _)
    mkdir -p "$dir/tree" "$dir/out"
    printf 'good\n' >"$dir/tree/good.txt"
    printf 'bad\n' >"$dir/tree/$bad"
    run "$dir/create" create -C "$dir/tree" "$dir/out/a.spis" .
    quoted=$(printf '%s' "$bad" | sed 's/[].[*^$\\]/\\&/g')
    # The message names the file: the name alone or as the last component of its path.
    one_error "$dir/create" "(^qvx: |[/\\])${quoted}: .*(${reason})" && is_empty_dir "$dir/out"
}
check "a reserved device name: CON" refusal CON 'reserved device name'
check "a reserved device name with an extension: aux.txt" refusal aux.txt 'reserved device name'
check "a reserved device name in another case: Com1.log" refusal Com1.log 'reserved device name'
check "a name ending in a dot: trailing." refusal trailing. 'ends in a dot'
check "a name ending in a space: 'space '" refusal 'space ' 'ends in a space'
check "a name with a character Windows refuses: a:b" refusal 'a:b' "':'"
check "a name the code page cannot hold: Привет.txt" refusal 'Привет.txt' 'name cannot be stored in code page 1252$'
mkdir -p refuse-case/tree refuse-case/out
printf 'upper\n' >refuse-case/tree/Case.txt
printf 'lower\n' >refuse-case/tree/case.txt
run refuse-case/create create -C refuse-case/tree refuse-case/out/a.spis .
check "two names equal ignoring case: Case.txt and case.txt" \
    eval "one_error refuse-case/create '(^qvx: |[/\\])[Cc]ase\.txt: .*ignoring case' && is_empty_dir refuse-case/out"

# An archive holding such names, made by changing the stored names' bytes (no checksum covers
# them): extract refuses those entries, names them, and writes the others.
mkdir -p crafted
for n in CXN auy.txt trailX good.txt; do printf '%s\n' "$n" >"crafted/$n"; done
"$native" create -m non -C crafted crafted.spis . 2>/dev/null
perl -0777 -pi -e 's/CXN/CON/; s/auy\.txt/aux.txt/; s/trailX/trail./' crafted.spis
mkdir -p crafted-out
run xcraft extract -C crafted-out crafted.spis
check "extract refuses CON, aux.txt and trail. by name, exit code 1" \
    eval "[ \$rc = 1 ] && [ \$(wc -l <xcraft.err) = 3 ] && grep -q '^qvx: crafted\.spis: CON: .*reserved device name' xcraft.err &&
        grep -q '^qvx: crafted\.spis: aux\.txt: .*reserved device name' xcraft.err &&
        grep -q '^qvx: crafted\.spis: trail\.: .*ends in a dot' xcraft.err"
check "and writes the other entry only" [ "$(names_of crafted-out)" = good.txt ]

step "A long path (over 260 characters)"
long=long/$(printf 'a folder with a long name %02d/' $(seq 1 12))file.txt
mkdir -p "$(dirname "$long")"
printf 'far down\n' >"$long"
touch -d '2022-02-02 02:02:02 UTC' "$long"
run clong create -C long long.spis .
check "create succeeds ($(($(printf '%s' "$work/$long" | wc -c))) characters)" [ "$rc" = 0 ]
run xlong extract -C long-out long.spis
check "extract succeeds and gives back the file and its time" \
    eval '[ $rc = 0 ] && diff -r long long-out && [ "$(inventory long)" = "$(inventory long-out)" ]'

step "A file in use by another process"
if $under_wine; then
    hold_exe=$session/HoldFile.exe
    if [ ! -f "$hold_exe" ] || [ "$root/scripts/wine/HoldFile.cpp" -nt "$hold_exe" ]; then
        x86_64-w64-mingw32-g++ -std=c++20 -municode -O1 -s -static -o "$hold_exe" "$root/scripts/wine/HoldFile.cpp"
    fi
    mkdir -p held/tree held/out
    printf 'locked\n' >held/tree/locked.txt
    wine "$hold_exe" 'held\tree\locked.txt' 'held\ready' 'held\release' >/dev/null 2>&1 &
    holder=$!
    for _ in $(seq 1 200); do [ -e held/ready ] && break; sleep 0.05; done
    if [ -e held/ready ]; then
        start=$SECONDS
        QVX="timeout 60 $QVX" run held/create create -C held/tree held/out/a.spis .
        check "create fails at once with one line naming the file" \
            eval "one_error held/create '[/\\]locked\.txt: .+' && [ $((SECONDS - start)) -lt 30 ]"
        check "and leaves nothing behind" is_empty_dir held/out
    else
        skip "the holding program did not start under this Wine"
    fi
    touch held/release
    wait "$holder"
else
    skip "only under Wine (the native tool has no share modes to meet)"
fi

step "Links planted in the folder (made on the POSIX side: reparse points to Windows)"
mkdir -p links/src/link/b links/outside links/out
printf 'new\n' >links/src/link/new.txt
printf 'deep\n' >links/src/link/b/c.txt
printf 'ok\n' >links/src/ok.txt
for n in f1 f2 f3; do printf 'archived\n' >"links/src/$n.txt"; done
"$native" create -m non -C links/src links/a.spis . 2>/dev/null
printf 'precious\n' >links/outside/file.txt
mkfifo links/outside/fifo
ln -s "$work/links/outside" links/out/link
run links/x extract -C links/out links/a.spis link/new.txt link/b/c.txt ok.txt
check "a folder link is refused, for new files and new folders below it" \
    eval "[ \$rc = 1 ] && [ \$(grep -c 'link: Refusing to follow a symbolic link' links/x.err) = 2 ] && [ -f links/out/ok.txt ]"
run links/xf extract -f -C links/out links/a.spis link/new.txt
check "and with -f as well" eval "[ \$rc = 1 ] && grep -q 'link: Refusing to follow a symbolic link' links/xf.err"
check "nothing was made outside the folder" is_empty_dir_but links/outside
plant() {  # the links at the files' own places
    rm -f links/out/f1.txt links/out/f2.txt links/out/f3.txt
    ln -s "$work/links/outside/file.txt" links/out/f1.txt
    ln -s "$work/links/outside/fifo" links/out/f2.txt
    ln -s /dev/full links/out/f3.txt
}
plant
QVX="timeout 60 $QVX" run links/files extract -C links/out links/a.spis f1.txt f2.txt f3.txt
check "without -f a link at a file's place is 'File exists' (to a file, a FIFO, a device)" \
    eval "[ \$rc = 1 ] && [ \$(grep -c 'File exists' links/files.err) = 3 ] && [ -L links/out/f1.txt ] && [ -L links/out/f2.txt ] && [ -L links/out/f3.txt ]"
QVX="timeout 60 $QVX" run links/filesf extract -f -C links/out links/a.spis f1.txt f2.txt f3.txt
check "with -f the link to a file is replaced by the file itself" \
    eval "[ ! -L links/out/f1.txt ] && [ \"\$(cat links/out/f1.txt)\" = archived ]"
if $under_wine; then
    # Wine can neither open nor remove a FIFO or device of the POSIX side for a Windows program:
    # the links to them stay, refused, and nothing goes through them (no wait on the FIFO either).
    check "links to a FIFO or a device are never written through (refused under Wine, no hang)" \
        eval "[ \$rc = 1 ] && [ \$(wc -l <links/filesf.err) = 2 ] && [ -L links/out/f2.txt ] && [ -L links/out/f3.txt ]"
else
    check "links to a FIFO or a device are replaced by the files themselves" \
        eval "[ \$rc = 0 ] && [ ! -L links/out/f2.txt ] && [ ! -L links/out/f3.txt ] && [ \"\$(cat links/out/f3.txt)\" = archived ]"
fi
check "the file outside is unchanged, no temporary file is left" \
    eval "[ \"\$(cat links/outside/file.txt)\" = precious ] && ! ls -A links/out | grep -q qvx-"

step "Names equal ignoring case in several scripts"
# Pairs of a lower-case and an upper-case name (ǆ Ǆ, Armenian, fullwidth, Roman numeral, circled):
# made from names that do not collide and whose stored bytes are then changed.
mkdir -p case/src case/out
for n in ǆ ǈ ա բ ａ ｂ ⅰ ⅱ ⓐ ⓑ; do printf 'lower\n' >"case/src/$n.txt"; done
"$native" create --codepage utf-8 -m non -C case/src case/a.spis . 2>/dev/null
perl -0777 -pi -e 's/\xC7\x88/\xC7\x84/; s/\xD5\xA2/\xD4\xB1/; s/\xEF\xBD\x82/\xEF\xBC\xA1/; s/\xE2\x85\xB1/\xE2\x85\xA0/; s/\xE2\x93\x91/\xE2\x92\xB6/' case/a.spis
run case/x extract -f --codepage utf-8 -C case/out case/a.spis
check "each second name is refused as the same name ignoring case, exit code 1" \
    eval "[ \$rc = 1 ] && [ \$(grep -c 'ignoring case' case/x.err) = 5 ]"
check "and the first ones are written" [ "$(names_of case/out | tr '\n' ' ')" = "ǆ.txt ա.txt ⅰ.txt ⓐ.txt ａ.txt " ]

step "An interrupted extraction leaves no temporary file"
if $under_wine; then
    # 256 MiB of one byte in RLE runs: little to store, much to write.
    perl -e 'my $n = 256 << 20; my $runs = "A\x94\xFF" x int($n / 255) . "A\x94" . chr($n % 255);
        print "SPIS\x1ANON", pack("l<", $n), "\x01", "\0" x 8,
            pack("s<S<S<S<l<l<CL<L<", 7, 0, 0x5000, 0x20, $n, length $runs, 1, ($n * 65) % 2**32, 0), "big.bin", $runs' >big-rle.spis
    mkdir -p interrupted
    $QVX extract -C interrupted big-rle.spis >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 1 400); do ls -A interrupted | grep -q qvx- && break; sleep 0.05; done
    seen=$(ls -A interrupted)
    kill -INT "$pid"
    wait "$pid"
    check "Ctrl+C (SIGINT, a console event to Windows) removes the temporary file ($seen)" \
        eval "[ -n '$seen' ] && is_empty_dir interrupted"
else
    skip "only under Wine (the native tool's signals are in its own tests)"
fi

step "A setup file with Setup.exe and the example engine"
run setup setup build -l "$(realpath --relative-to=. "$setup_exe")" -e "$(realpath --relative-to=. "$engine_exe")" \
    -d tree -o "My Setup.exe"
check "setup build succeeds" [ "$rc" = 0 ]
run sinfo setup test "My Setup.exe"
check "setup test passes" [ "$rc" = 0 ]
QVX_INSTALL_DIR=$(winepath -w "$work/installed") QVX_INSTALL_LIST=$(winepath -w "$work/installed.lst") \
    wine "My Setup.exe" >setup-run.out 2>&1
rc=$?
check "the setup runs with exit code 0" [ "$rc" = 0 ]
check "the engine installed every file with its name and contents" diff -r tree installed
(cd tree && find . -type f -printf '%P\n') | sed 's|/|\\|g' | iconv -f UTF-8 -t CP1252 | LC_ALL=C sort >expected.lst
check "the engine's list of what it installed is the names' code page 1252 bytes" cmp -s expected.lst installed.lst

step "Pipes and standard output"
run pipe-list list - < <(cat tree.spis)
check "list - reads an archive from a pipe as it reads the file" sh -c "[ $rc = 0 ] && cmp -s list.out pipe-list.out"
run pipe-extract extract -C pipe-out - < <(cat tree.spis)
check "extract - writes from a pipe what the archive holds" sh -c "[ $rc = 0 ] && diff -r tree pipe-out >/dev/null"
run pipe-setup setup test - < <(cat "My Setup.exe")
check "setup test - reads a setup file from a pipe as it reads the file" \
    sh -c "[ $rc = 0 ] && cmp -s sinfo.out pipe-setup.out"
run pipe-yes list - < <(yes)
check "a pipe that holds no archive is refused at once" one_error pipe-yes '^qvx: -: not an archive$'
$QVX list tree.spis >/dev/full 2>full.err.raw
rc=$?
tr -d '\r' <full.err.raw >full.err
check "standard output on a full device: exit code 1 and the system's reason" \
    sh -c "[ $rc = 1 ] && [ \"\$(cat full.err)\" = 'qvx: standard output: No space left on device' ]"
$QVX cat tree.spis 'nested\deeper\deepest\random.bin' 2>closed.err | head -c 10 >/dev/null
rc=${PIPESTATUS[0]}
check "a reader that goes away ends qvx quietly with exit code 1" sh -c "[ $rc = 1 ] && [ ! -s closed.err ]"

step "The same bytes everywhere (SOURCE_DATE_EPOCH)"
# 2020-09-13 12:26:40 UTC: the tree's 2021 times are clamped to it, the 2019 one is kept.
export SOURCE_DATE_EPOCH=1600000000 TZ=UTC
run repro create -C tree repro.spis .
run repro-setup setup build -l "$(realpath --relative-to=. "$setup_exe")" -e "$(realpath --relative-to=. "$engine_exe")" \
    -d tree -o repro-setup.exe
for zone in UTC Asia/Tokyo; do
    tag=${zone//\//-}
    TZ=$zone "$native" create -C tree "native-$tag.spis" . 2>/dev/null
    TZ=$zone "$native" setup build -l "$setup_exe" -e "$engine_exe" -d tree -o "native-$tag.exe" 2>/dev/null
done
check "an archive from the tool under test equals the native one (TZ=UTC)" cmp -s repro.spis native-UTC.spis
check "the native archive is the same under TZ=UTC and TZ=Asia/Tokyo" cmp -s native-UTC.spis native-Asia-Tokyo.spis
check "a setup file from the tool under test equals the native one (TZ=UTC)" cmp -s repro-setup.exe native-UTC.exe
check "the native setup file is the same under TZ=UTC and TZ=Asia/Tokyo" cmp -s native-UTC.exe native-Asia-Tokyo.exe
TZ=JST-9 run repro-tokyo create -C tree repro-tokyo.spis .
check "the tool under test in another time zone (TZ=JST-9) gives the same archive" cmp -s repro-tokyo.spis repro.spis
"$native" list --json repro.spis >repro.json
check "a later time is clamped to SOURCE_DATE_EPOCH, as UTC" [ "$(stamp repro.json readonly.txt)" = "2020-09-13 12:26:40" ]
check "an earlier time is kept, as UTC" [ "$(stamp repro.json 'nested\numbers.txt')" = "2019-03-01 08:00:00" ]
unset SOURCE_DATE_EPOCH

printf '\nqvx session (%s): %d checks, %d failed' "$QVX" "$checks" "$failures"
printf '\n'
[ "$failures" = 0 ]
