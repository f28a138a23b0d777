# Setup.exe as Windows sees an installer: its manifest, version information and icon, no PE time
# stamp, and the same bytes from a second build in another directory. Sourced by
# scripts/wine-tests.sh, which provides check, step, u32_at, $root and $setup_exe.

step "Setup.exe as an installer"
image_dump=$work/setup-image.txt
x86_64-w64-mingw32-objdump -p "$setup_exe" >"$image_dump"
resource() { grep -q "^0[0-9a-f]*   Entry: ID: $1," "$image_dump"; }  # a resource type of the root table
pe_header=$(u32_at "$setup_exe" 60)
check "no PE time stamp" [ "$(u32_at "$setup_exe" $((pe_header + 8)))" = 0 ]
check "an application manifest (RT_MANIFEST)" resource 0x000018
check "the manifest asks for the execution level the build chose" \
    grep -a -q "requestedExecutionLevel level=\"$(sed -n 's/^QVX_SETUP_EXECUTION_LEVEL:[A-Z]*=//p' build/mingw/CMakeCache.txt)\"" "$setup_exe"
check "the manifest names Windows 7, 8, 8.1 and 10/11" sh -c "for id in 35138b9a-5d96-4fbd-8e2d-a2440225f93a \
    4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 1f676c76-80e1-4239-95bb-83d0f6d0da78 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do \
    grep -a -q \"supportedOS Id=\\\"{\$id}\\\"\" '$setup_exe' || exit 1; done"
check "the manifest declares per-monitor DPI awareness" grep -a -q '<dpiAwareness[^>]*>PerMonitorV2' "$setup_exe"
check "version information (RT_VERSION) naming Setup.exe" \
    sh -c "grep -q '^0[0-9a-f]*   Entry: ID: 0x000010,' '$image_dump' && strings -el '$setup_exe' | grep -qx Setup.exe"
check "an icon (RT_GROUP_ICON and RT_ICON)" sh -c "grep -q '^0[0-9a-f]*   Entry: ID: 0x00000e,' '$image_dump' && grep -q '^0[0-9a-f]*   Entry: ID: 0x000003,' '$image_dump'"

# The same sources in another build directory give the same bytes.
repro=build/mingw-repro
[ -f "$repro/CMakeCache.txt" ] || cmake --preset mingw -G Ninja -B "$repro" >/dev/null
cmake --build "$repro" -j2 --target Setup >/dev/null
check "a second build in another directory is byte-identical" cmp -s "$setup_exe" "$repro/launcher/Setup.exe"
