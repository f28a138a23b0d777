# The launcher's own files under Wine: links made from the POSIX side at the engine's paths and at
# the temporary archive's names, the Windows folder's engine held open by another process, and
# names outside the ANSI code page or longer than 260 characters. Sourced by scripts/wine-tests.sh,
# which provides check, step, run_setup, temp_count, $qvx, $setup_exe, $record_exe, $method, $work,
# $windir, $wintemp and $root.
#
# Wine 8 shows a POSIX link to a directory as a reparse point, but a link to a file (or a dangling
# one) as the file it names (or as nothing): the launcher, which never writes through a name it did
# not create, then replaces that link with its engine instead of sending the engine to the
# fallback location. Either way the link's target stays untouched.

lf=$work/launcher-files
rm -rf "$lf"
mkdir -p "$lf/victim dir"
printf 'victim\n' >"$lf/victim"
record=$lf/argv.txt
export QVX_RECORD_FILE
QVX_RECORD_FILE=$(winepath -w "$record")
lf_setup=$lf/links.exe
"$qvx" setup build -l "$setup_exe" -e "$record_exe" -m "$method" -o "$lf_setup" >/dev/null

# run_lf <setup file> [wine arguments...]: a fresh record; the exit code in $rc.
run_lf() {
    rm -f "$record"
    run_setup "$1"
    rc=$?
}
started() { [ "$rc" = 0 ] && [ "$(wc -l <"$record" 2>/dev/null)" = 2 ]; }
not_started() { [ "$rc" = 1 ] && [ ! -e "$record" ]; }
untouched() { [ "$(cat "$lf/victim")" = victim ] && [ ! -e "$lf/target" ] && [ -z "$(ls -A "$lf/victim dir")" ]; }
# No temporary engine file of the launcher is left in either folder.
no_leftovers() { [ -z "$(find "$windir" "$wintemp" -maxdepth 1 -name 'Quorvex[0-9A-F]*.tmp')" ]; }
is_link_and_engine_at() { [ -L "$1" ] && cmp -s "$2" "$record_exe"; }
is_engine_not_link() { [ ! -L "$1" ] && cmp -s "$1" "$record_exe"; }
# The Windows name of an absolute POSIX path on drive Z: (winepath cuts names at 260 characters).
windows_name() { printf 'Z:%s' "${1//\//\\}"; }
# The engine was given /SOURCE= with exactly the Windows name of setup file $1.
source_is() { started && [ "$(sed -n 1p "$record" | tr -d '\r')" = "/SOURCE=$(windows_name "$1")" ]; }
# The staged archive the engine was given (in folder $2, when given) is exactly the first archive
# of setup file $1.
staged_is_first_archive_of() {
    local data staged offset length
    data=$(sed -n 2p "$record" | tr -d '\r')
    data=${data#/DATA=}
    [ -z "${2:-}" ] || [ "${data%\\*}" = "$(winepath -w "$2")" ] || return 1
    [[ "${data##*\\}" =~ ^QVX[0-9A-F]{4}\.tmp$ ]] || return 1
    staged=$(winepath -u "$data")
    offset=$((($(stat -c %s "$setup_exe") + 15) / 16 * 16))
    length=$(od -An -t u4 -j "$offset" -N 4 "$1" | tr -d ' ')
    tail -c +$((offset + 5)) "$1" | head -c "$length" | cmp -s - "$staged"
}

step "Links at the engine's path in the Windows folder (made from the POSIX side)"
for kind in file dangling directory; do
    rm -rf "$windir/Quorvex.exe" "$wintemp/Quorvex.exe"
    case $kind in
        file) ln -s "$lf/victim" "$windir/Quorvex.exe" ;;
        dangling) ln -s "$lf/target" "$windir/Quorvex.exe" ;;
        directory) ln -s "$lf/victim dir" "$windir/Quorvex.exe" ;;
    esac
    run_lf "$lf_setup"
    check "link to a $kind: exit code 0, the engine got both arguments" started
    check "link to a $kind: nothing was written through it" untouched
    if [ "$kind" = directory ]; then
        check "link to a directory (a reparse point): the engine ran from the fallback" \
            is_link_and_engine_at "$windir/Quorvex.exe" "$wintemp/Quorvex.exe"
    else
        check "link to a $kind: the link itself was replaced by the engine" is_engine_not_link "$windir/Quorvex.exe"
    fi
    check "link to a $kind: no temporary engine file is left" no_leftovers
done

step "The Windows folder's engine held open by another process"
hold_exe=$lf/HoldFile.exe
x86_64-w64-mingw32-g++ -std=c++20 -municode -O1 -s -static -o "$hold_exe" "$root/scripts/wine/HoldFile.cpp"
rm -rf "$windir/Quorvex.exe" "$wintemp/Quorvex.exe"
printf 'earlier engine\n' >"$windir/Quorvex.exe"
wine "$hold_exe" 'C:\windows\Quorvex.exe' "$(winepath -w "$lf/held")" "$(winepath -w "$lf/release")" &
hold_pid=$!
for _ in $(seq 1 100); do [ -e "$lf/held" ] && break; sleep 0.1; done
run_lf "$lf_setup"
check "exit code 0, the engine started from the fallback" started
check "the engine in the fallback is the engine" cmp -s "$wintemp/Quorvex.exe" "$record_exe"
check "the held engine file is untouched" [ "$(cat "$windir/Quorvex.exe")" = "earlier engine" ]
rm -f "$wintemp/Quorvex.exe"
ln -s "$lf/victim dir" "$wintemp/Quorvex.exe"
before=$(temp_count)
run_lf "$lf_setup"
check "with a link at the fallback too: exit code 1, nothing started" not_started
check "with a link at the fallback too: nothing written through it" untouched
nothing_left_since() { [ "$(temp_count)" = "$1" ] && no_leftovers; }
check "with a link at the fallback too: no staged archive or engine file left" nothing_left_since "$before"
touch "$lf/release"
wait "$hold_pid"
rm -rf "$windir/Quorvex.exe" "$wintemp/Quorvex.exe"

step "The launcher's file layer on names taken by links (scripts/wine/LauncherFileCheck.cpp)"
# Temporary names are numbered from a seed the test cannot know, so the layer itself is checked with
# a fixed one.
check_dir=$lf/check
mkdir -p "$check_dir"
ln -s "$lf/victim" "$check_dir/link"
ln -s "$lf/target" "$check_dir/dangling"
ln -s "$lf/victim dir" "$check_dir/dirlink"
ln -s "$lf/victim" "$check_dir/QVX0000.tmp"
ln -s "$lf/target" "$check_dir/QVX0001.tmp"
ln -s "$lf/victim" "$check_dir/QVX0002.tmp"
if x86_64-w64-mingw32-g++ -std=c++20 -municode -O1 -s -static -I"$root/launcher" -I"$root/instcompress/include" \
    -o "$lf/LauncherFileCheck.exe" "$root/scripts/wine/LauncherFileCheck.cpp" \
    "$root/build/mingw/launcher/libqvx_launcher_core.a" "$root/build/mingw/instcompress/libinstcompress.a"; then
    wine "$lf/LauncherFileCheck.exe" "$(winepath -w "$check_dir")" >"$lf/check.raw"
    check_rc=$?
    tr -d '\r' <"$lf/check.raw" >"$lf/check.out"
    sed 's/^  /    /' "$lf/check.out"
    check "every check of the file layer passed ($(grep -c '^  ok' "$lf/check.out") of $(wc -l <"$lf/check.out"))" \
        sh -c "[ $check_rc = 0 ] && ! grep -q FAIL '$lf/check.out'"
else
    check "LauncherFileCheck.exe builds" false
fi
check "nothing was written through a link" untouched
check "the links it moved over are gone, the others stay" \
    sh -c "[ ! -e '$check_dir/link' ] && [ ! -L '$check_dir/dangling' ] && [ -L '$check_dir/dirlink' ] && [ -L '$check_dir/QVX0002.tmp' ]"
long_file_holds() {
    local path=$check_dir
    for _ in $(seq 1 12); do path="$path/a directory name of 21"; done
    [ "$(cat "$path/long.tmp")" = "$1" ]
}
check "the file past 260 characters has its exact name" long_file_holds long

step "Names outside the ANSI code page, and past 260 characters"
omega="$lf/s/Ωmega dir"
mkdir -p "$omega" "$lf/s/Omega dir" "$lf/s/日本"
cp "$lf_setup" "$omega/s.exe"
cp "$lf_setup" "$lf/s/日本/s.exe"
# The look-alike carries another engine (the same program with bytes appended).
cp "$record_exe" "$lf/other-engine.exe"
printf 'look-alike' >>"$lf/other-engine.exe"
"$qvx" setup build -l "$setup_exe" -e "$lf/other-engine.exe" -m "$method" -o "$lf/s/Omega dir/s.exe" >/dev/null
run_lf "$omega/s.exe"
check "a setup file under Ωmega: /SOURCE= names it exactly" source_is "$omega/s.exe"
check "a setup file under Ωmega: it staged its own archive, not its look-alike's" staged_is_first_archive_of "$omega/s.exe"
check "a setup file under Ωmega: its own engine ran" cmp -s "$windir/Quorvex.exe" "$record_exe"
run_lf "$lf/s/日本/s.exe"
check "a setup file under 日本 (no look-alike): /SOURCE= names it exactly" source_is "$lf/s/日本/s.exe"
long=$lf/long
for i in $(seq 1 12); do long="$long/a directory name of 21/$i"; done
mkdir -p "$long"
cp "$lf_setup" "$long/s.exe"
run_lf "$long/s.exe"
check "a setup file at a path of $(windows_name "$long/s.exe" | wc -m) characters: /SOURCE= names it exactly" \
    source_is "$long/s.exe"
check "a setup file at a long path: it staged its own archive" staged_is_first_archive_of "$long/s.exe"
omega_temp=$(dirname "$wintemp")/Ωtmp
mkdir -p "$omega_temp"
rm -f "$record"
temp_w=$(winepath -w "$omega_temp")
wine cmd /c "set TMP=$temp_w&& set TEMP=$temp_w&& start \"\" /wait \"$(winepath -w "$lf_setup")\"" >"$work/wine.out" 2>&1
rc=0
check "%TEMP% under Ωtmp: the archive is staged there under its exact name" \
    staged_is_first_archive_of "$lf_setup" "$omega_temp"
check "%TEMP% under Ωtmp: nothing lands in a look-alike Otmp" [ ! -e "$(dirname "$wintemp")/Otmp" ]
rm -rf "$omega_temp"
unset QVX_RECORD_FILE
