#!/usr/bin/env bash
# Demo of a complete self-extracting installer: builds the launcher, qvx and the example engine
# (only these three, with the demo preset unless QVX_DEMO_PRESET names another, e.g. release),
# packs some sample files into a setup file, runs it, and shows what the engine installed.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
preset=${QVX_DEMO_PRESET:-demo}
build=build/$preset

echo "== Building the launcher, qvx and the example engine ($preset preset)"
[ -f "$build/CMakeCache.txt" ] || cmake --preset "$preset" -G Ninja >/dev/null
cmake --build --preset "$preset" -j "${QVX_JOBS:-2}" --target Setup qvx QuorvexEngine

demo=$(mktemp -d "${TMPDIR:-/tmp}/qvx-demo.XXXXXX")
trap 'rm -rf "$demo"' EXIT
mkdir -p "$demo/sample/docs" "$demo/sample/bin" "$demo/windows"
printf 'Welcome to the qvx demo installer.\n' >"$demo/sample/README.txt"
for i in 1 2 3; do seq 1 2000 | sed "s/^/line $i: /" >"$demo/sample/docs/chapter$i.txt"; done
head -c 65536 /dev/urandom >"$demo/sample/bin/payload.bin"

# Stored entries unless this build carries the LH5 codec.
method=lh5
"$build/tools/qvx/qvx" setup build -l "$build/launcher/Setup" -e "$build/examples/engine/QuorvexEngine" \
    -d "$demo/sample" -o "$demo/DemoSetup" 2>/dev/null || method=non

echo
echo "== qvx setup build (method $method)"
"$build/tools/qvx/qvx" setup build -l "$build/launcher/Setup" -e "$build/examples/engine/QuorvexEngine" \
    -d "$demo/sample" -m "$method" -o "$demo/DemoSetup"
ls -l "$build/launcher/Setup" "$demo/DemoSetup"

echo
echo "== qvx setup info"
"$build/tools/qvx/qvx" setup info "$demo/DemoSetup"

echo
echo "== Running the setup file"
# WINDIR names the directory the launcher puts the engine in first (see docs/launcher.md).
rc=0
(cd "$demo" && WINDIR="$demo/windows" TMPDIR="$demo" QVX_INSTALL_DIR="$demo/installed" ./DemoSetup) || rc=$?
echo "setup exit code: $rc"
ls -l "$demo/windows"
[ "$rc" = 0 ] || exit 1

echo
echo "== What the engine installed"
(cd "$demo/installed" && find . -type f | sort | xargs ls -l)
if diff -r "$demo/sample" "$demo/installed" >/dev/null; then
    echo "installed files are identical to the sample data"
else
    echo "installed files differ from the sample data" >&2
    exit 1
fi
