#!/usr/bin/env bash
# Windows end-to-end tests: builds Setup.exe and the engines with the mingw preset, builds setup
# files with the native qvx, and runs them under Wine in a private prefix (build/wine/prefix);
# then builds qvx.exe and runs the session of scripts/wine/qvx-session.sh with it.
#
#   scripts/wine-tests.sh            run all checks; exit 0 when every check passed
#
# Environment: QVX_NATIVE_PRESET (default release) selects the native build that provides qvx.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
native=${QVX_NATIVE_PRESET:-release}

. "$root/scripts/wine/checks.sh"

step "Building the Windows programs (mingw preset)"
[ -f build/mingw/CMakeCache.txt ] || cmake --preset mingw -G Ninja >/dev/null || exit 1
cmake --build --preset mingw -j2 --target Setup QuorvexEngine RecordArgs || exit 1
step "Building the native qvx ($native preset)"
[ -f "build/$native/CMakeCache.txt" ] || cmake --preset "$native" -G Ninja >/dev/null || exit 1
cmake --build --preset "$native" -j2 --target qvx || exit 1

setup_exe=$root/build/mingw/launcher/Setup.exe
record_exe=$root/build/mingw/examples/engine/RecordArgs.exe
engine_exe=$root/build/mingw/examples/engine/QuorvexEngine.exe
qvx=$root/build/$native/tools/qvx/qvx
printf 'Setup.exe: %s bytes\n' "$(stat -c %s "$setup_exe")"

export WINEPREFIX=$root/build/wine/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY=
# UTF-8 on the POSIX side, so that Wine hands the programs names outside the ANSI code page as
# they are on disk.
export LC_ALL=C.UTF-8
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    step "Preparing the Wine prefix (first boot takes a while)"
    mkdir -p "$WINEPREFIX"
    wine wineboot -i >/dev/null 2>&1 || exit 1
fi
windir=$WINEPREFIX/drive_c/windows
wintemp=$(winepath -u 'C:\users\'"$(whoami)"'\Temp' 2>/dev/null)
mkdir -p "$wintemp"

work=$root/build/wine/work
rm -rf "$work"
mkdir -p "$work/data/sub dir" "$work/out dir"
printf 'hello from the data block\n' >"$work/data/readme.txt"
head -c 100000 /dev/urandom >"$work/data/sub dir/random.bin"

# The method: LH5 when the codec is in this build, else stored.
method=lh5
if ! "$qvx" setup build -l "$setup_exe" -e "$record_exe" -d "$work/data" -o "$work/probe.exe" 2>/dev/null; then
    method=non
fi
rm -f "$work/probe.exe"
printf 'archives written with method %s\n' "$method"

u32_at() { od -An -t u4 -j "$2" -N 4 "$1" | tr -d ' '; }
marker_count() { LC_ALL=C grep -a -o 'QVX_SIZE' "$1" | wc -l; }
run_setup() {  # run_setup <setup file>; prints nothing; returns Wine's exit code
    wine "$1" >"$work/wine.out" 2>&1
}
temp_count() { find "$wintemp" -maxdepth 1 -name 'QVX*.tmp' | wc -l; }

step "The launcher file"
check "Setup.exe holds the size marker exactly once" [ "$(marker_count "$setup_exe")" = 1 ]
check "Setup.exe is a GUI-subsystem program" sh -c "x86_64-w64-mingw32-objdump -p '$setup_exe' | grep -q 'Subsystem.*(Windows GUI)'"
check "Setup.exe is at most 100 KB" [ "$(stat -c %s "$setup_exe")" -le 102400 ]

step "A setup file with the recording engine"
setup="$work/out dir/My Setup.exe"
check "qvx setup build succeeds" "$qvx" setup build -l "$setup_exe" -e "$record_exe" -d "$work/data" -m "$method" -o "$setup"
check "the built setup file holds the marker once" [ "$(marker_count "$setup")" = 1 ]
rm -f "$windir/Quorvex.exe" "$work/argv.txt"
export QVX_RECORD_FILE
QVX_RECORD_FILE=$(winepath -w "$work/argv.txt")
QVX_RECORD_EXIT=5 run_setup "$setup"
rc=$?
check "exit code 0 although the engine returned 5" [ "$rc" = 0 ]
source_arg=$(sed -n 1p "$work/argv.txt" | tr -d '\r')
data_arg=$(sed -n 2p "$work/argv.txt" | tr -d '\r')
check "the engine got two arguments" [ "$(wc -l <"$work/argv.txt")" = 2 ]
check "argument 1 is /SOURCE=<setup file>" [ "$source_arg" = "/SOURCE=$(winepath -w "$setup")" ]
check "argument 2 is /DATA=<QVX temporary file>" sh -c "printf '%s' '$data_arg' | grep -q '^/DATA=.*\\\\QVX[^\\\\]*\\.tmp\$'"
staged=$(winepath -u "${data_arg#/DATA=}")
offset=$((($(stat -c %s "$setup_exe") + 15) / 16 * 16))  # the image padded to 16 bytes
length=$(u32_at "$setup" "$offset")
tail -c +$((offset + 5)) "$setup" | head -c "$length" >"$work/first.arc"
check "the staged archive is exactly the first payload archive" cmp -s "$staged" "$work/first.arc"
check "the engine file in the Windows directory is the engine" cmp -s "$windir/Quorvex.exe" "$record_exe"

step "A damaged payload"
cp "$setup" "$work/damaged.exe"
printf '\xff' | dd of="$work/damaged.exe" bs=1 seek=$((offset + 4)) conv=notrunc status=none
rm -f "$windir/Quorvex.exe" "$work/argv.txt"
before=$(temp_count)
run_setup "$work/damaged.exe"
rc=$?
check "exit code 1" [ "$rc" = 1 ]
check "the engine was not started" [ ! -e "$work/argv.txt" ]
check "no engine file is left behind" [ ! -e "$windir/Quorvex.exe" ]
check "no staged archive is left behind" [ "$(temp_count)" = "$before" ]

step "Damaged engine entries start nothing"
# The engine entry's header behind the archive header: expanded size at +8, method at +16.
entry=$((offset + 4 + 21))
put_u32() { printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($3 & 255)) $(($3 >> 8 & 255)) $(($3 >> 16 & 255)) $(($3 >> 24 & 255)))" |
    dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }
expanded=$(u32_at "$setup" $((entry + 8)))
for damage in "expanded size + 1:$((expanded + 1))" "expanded size + 1 GiB:$((expanded + 0x40000000))" "method LH5 made NON:"; do
    what=${damage%%:*} size=${damage#*:}
    cp "$setup" "$work/damaged-engine.exe"
    if [ -n "$size" ]; then put_u32 "$work/damaged-engine.exe" $((entry + 8)) "$size"
    else printf '\x00' | dd of="$work/damaged-engine.exe" bs=1 seek=$((entry + 16)) conv=notrunc status=none; fi
    rm -f "$windir/Quorvex.exe" "$work/argv.txt"
    before=$(temp_count)
    run_setup "$work/damaged-engine.exe"
    rc=$?
    check "$what: exit code 1, nothing started, no engine, temporary engine or staged archive left" sh -c \
        "[ $rc = 1 ] && [ ! -e '$work/argv.txt' ] && [ -z \"\$(find '$windir' -maxdepth 1 -name 'Quorvex*')\" ] && [ \"\$(find '$wintemp' -maxdepth 1 -name 'QVX*.tmp' | wc -l)\" = $before ]"
done

step "System calls of a run (Wine relay trace)"
# Calls made from Setup.exe's own code (return addresses in the image at 0x140000000).
own_calls() { WINEDEBUG=+relay wine "$1" 2>&1 | tr -d '\r' | grep ':Call ' | grep ' ret=14[0-9a-f]\{7\}$'; }
own_calls "$work/damaged.exe" >"$work/relay-damaged.txt"
first_two=$(grep -o 'KERNEL32\.[A-Za-z]*(' "$work/relay-damaged.txt" | grep -m2 -e SetDefaultDllDirectories -e GetModuleFileNameW | tr -d '(' | tr '\n' ' ')
check "DLL loading is restricted to System32 before anything else is done" \
    sh -c "grep -q 'SetDefaultDllDirectories(00000800)' '$work/relay-damaged.txt' && [ '$first_two' = 'KERNEL32.SetDefaultDllDirectories KERNEL32.GetModuleFileNameW ' ]"
check "the error report is a task-modal message box with the exception text" \
    grep -q 'user32.MessageBoxW(00000000,[0-9a-f]* L"Exception EInvalidHeader in module damaged.exe at [0-9A-F]\{8\}.\\nCan.t recognize compressed file header.",[0-9a-f]* L"Application Error",00002010)' "$work/relay-damaged.txt"
QVX_RECORD_FILE= QVX_RECORD_WAIT_MS=700 own_calls "$setup" >"$work/relay-normal.txt"
check "the engine is started through the shell with the Open verb" \
    grep -q 'ShellExecuteExW' "$work/relay-normal.txt"
check "the wait loop waits in 100 ms slices" grep -q 'WaitForSingleObject([0-9a-f]*,00000064)' "$work/relay-normal.txt"
# (The relay shows the 64-bit slot of the last argument, PM_NOREMOVE = 0, with whatever its upper half holds.)
check "between slices it peeks into the message queue without removing" \
    grep -q 'PeekMessageW([0-9a-f]*,00000000,00000000,00000000,[0-9a-f]*00000000)' "$work/relay-normal.txt"
ansi_names='\.\(GetModuleFileName\|GetTempPath\|GetTempFileName\|GetWindowsDirectory\|CreateFile\|DeleteFile\|MoveFileEx\|GetFileAttributes\|ShellExecuteEx\|MessageBox\)A('
check "names and texts go through the wide functions only (no ANSI name or text)" \
    sh -c "! grep -q '$ansi_names' '$work/relay-normal.txt' '$work/relay-damaged.txt'"
check "the exit code is read and the process ended" \
    sh -c "grep -q 'GetExitCodeProcess' '$work/relay-normal.txt' && grep -q 'TerminateProcess([0-9a-f]*,00000000)' '$work/relay-normal.txt'"
own_calls "$setup_exe" >"$work/relay-unpatched.txt"
check "an unpatched launcher beeps once" [ "$(grep -c 'MessageBeep(00000000)' "$work/relay-unpatched.txt")" = 1 ]

step "An archive length beyond the payload"
cp "$setup" "$work/oversized.exe"
printf '\xf0\xff\xff\x7f' | dd of="$work/oversized.exe" bs=1 seek="$offset" conv=notrunc status=none
before=$(temp_count)
run_setup "$work/oversized.exe"
rc=$?
check "exit code 1" [ "$rc" = 1 ]
check "no temporary file was created" [ "$(temp_count)" = "$before" ]
check "the engine was not started" [ ! -e "$work/argv.txt" ]

step "An unpatched Setup.exe"
cp "$setup_exe" "$work/Setup.exe"
rm -f "$windir/Quorvex.exe"
before=$(temp_count)
run_setup "$work/Setup.exe"
rc=$?
check "exit code 0" [ "$rc" = 0 ]
check "no temporary file was created" [ "$(temp_count)" = "$before" ]
check "no engine file was created" [ ! -e "$windir/Quorvex.exe" ]

step "The example engine installs the data block"
rm -rf "$work/installed"
check "qvx setup build succeeds" "$qvx" setup build -l "$setup_exe" -e "$engine_exe" -d "$work/data" -m "$method" -o "$work/example.exe"
QVX_INSTALL_DIR=$(winepath -w "$work/installed") run_setup "$work/example.exe"
rc=$?
check "exit code 0" [ "$rc" = 0 ]
check "readme.txt installed" cmp -s "$work/installed/readme.txt" "$work/data/readme.txt"
check "sub dir/random.bin installed" cmp -s "$work/installed/sub dir/random.bin" "$work/data/sub dir/random.bin"

. "$root/scripts/wine/launcher-files.sh"
. "$root/scripts/wine/setup-image.sh"
. "$root/scripts/wine/signing.sh"
. "$root/scripts/wine/branding.sh"

step "qvx.exe: a session under Wine (scripts/wine/qvx-session.sh)"
if cmake --build --preset mingw -j2 --target qvx; then
    check "every check of the session passed" env QVX_NATIVE="$qvx" QVX_MINGW_DIR="$root/build/mingw" \
        "$root/scripts/wine/qvx-session.sh"
else
    check "qvx.exe builds with the mingw preset" false
fi

printf '\n%d checks, %d failed\n' "$checks" "$failures"
[ "$failures" = 0 ]
