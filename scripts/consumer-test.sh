#!/usr/bin/env bash
# The library as its users get it: builds InstCompress alone (no tool or test dependency), installs
# it into a temporary prefix as a shared library, and builds and runs the example program
# (examples/library) against the installed files only, once through the CMake package and once
# through pkg-config. The shared library must export the public API and nothing of the codecs'
# inside. Last, `cmake --install` of the debug build must install qvx, the launcher, the headers and
# both package files. The static library gets the same example builds in the release stage
# (scripts/release-tests.sh), from the release bundles that ship it.
#
#   scripts/consumer-test.sh          exit 0 when every check passed
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
work=$root/build/consumer
rm -rf "$work"
mkdir -p "$work"
jobs=${QVX_JOBS:-2}
failures=0
check() {  # check <description> <command...>
  local what=$1
  shift
  if "$@" >"$work/check.log" 2>&1; then
    printf '  ok    %s\n' "$what"
  else
    printf '  FAIL  %s\n' "$what"
    sed 's/^/        /' "$work/check.log" | tail -20
    failures=$((failures + 1))
  fi
}

library_only=(-DQVX_BUILD_TOOLS=OFF -DQVX_BUILD_TESTS=OFF -DQVX_BUILD_BENCH=OFF -DQVX_BUILD_LAUNCHER=OFF
  -DQVX_BUILD_EXAMPLES=OFF -DQVX_INSTALL=ON -DQVX_WERROR=ON -DCMAKE_BUILD_TYPE=Release)

for kind in shared; do
  shared=OFF
  [ "$kind" = shared ] && shared=ON
  prefix=$work/prefix-$kind
  echo "== InstCompress, $kind"
  cmake -S . -B "$work/lib-$kind" -G Ninja "${library_only[@]}" -DBUILD_SHARED_LIBS=$shared \
    -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
  cmake --build "$work/lib-$kind" -j "$jobs" >/dev/null
  cmake --install "$work/lib-$kind" >/dev/null
  libdir=$(find "$prefix" -name 'instcompress.pc' -printf '%h\n' | sed 's#/pkgconfig$##')
  check "the prefix holds the headers, the library and both package files" \
    test -f "$prefix/include/instcompress/InstCompress.h" -a -f "$libdir/pkgconfig/instcompress.pc" \
    -a -f "$libdir/cmake/InstCompress/InstCompressConfig.cmake"
  check "no private header is installed" \
    sh -c "! find '$prefix/include' -name 'CodecEngine.h' -o -name 'Lh5*.h' -o -name 'Lzh*.h' | grep -q ."
  check "the public headers include only each other and the standard library" \
    sh -c "cd '$prefix/include/instcompress' && grep -h '^#include \"' *.h | sed 's/^#include \"\(.*\)\"/\1/' | sort -u | xargs -n1 test -f"

  # Through the CMake package.
  cmake -S examples/library -B "$work/example-cmake-$kind" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
  check "the example builds with find_package(InstCompress CONFIG)" cmake --build "$work/example-cmake-$kind"
  check "and runs" env LD_LIBRARY_PATH="$libdir" "$work/example-cmake-$kind/instcompress_example" \
    "$work/cmake-$kind.spis"

  # Through pkg-config.
  flags=$(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs instcompress)
  check "the example builds with pkg-config ($flags)" \
    sh -c "c++ -std=c++20 -O2 examples/library/main.cpp $flags -o '$work/example-pc-$kind'"
  check "and runs" env LD_LIBRARY_PATH="$libdir" "$work/example-pc-$kind" "$work/pc-$kind.spis"

  if [ "$kind" = shared ]; then
    so=$(find "$libdir" -name 'libinstcompress.so.*' | head -1)
    nm -D --defined-only "$so" | c++filt >"$work/exports.txt"
    check "the shared library exports the public API" grep -q 'qvx::RunCodec(qvx::CodecSettings const&' "$work/exports.txt"
    check "and nothing of the codec engine or the codecs" \
      sh -c "! grep -e 'qvx::CodecEngine' -e 'qvx::lh5::' -e 'qvx::lzh::' -e 'qvx::RleExpand' '$work/exports.txt'"
  fi
done

echo "== cmake --install of the whole project (debug build)"
[ -f build/debug/CMakeCache.txt ] || cmake --preset debug -G Ninja >/dev/null
cmake --build --preset debug -j "$jobs" --target qvx Setup >/dev/null
cmake --install build/debug --prefix "$work/prefix-full" >/dev/null
check "qvx is installed and runs" "$work/prefix-full/bin/qvx" --version
check "the launcher is installed for setup build" test -x "$work/prefix-full/libexec/qvx/Setup"

echo
if [ "$failures" -ne 0 ]; then
  echo "consumer-test: $failures check(s) failed"
  exit 1
fi
echo "consumer-test: all checks passed"
