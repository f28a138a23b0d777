#!/usr/bin/env bash
# Makes the release bundles of qvx from this tree, into dist/:
#   qvx-VERSION-windows-x86_64.zip    qvx.exe, Setup.exe, QuorvexEngine.exe, README.md,
#                                     RELEASE-NOTES.md, docs/*.md, the manual page as text
#                                     (qvx-manual.txt), COPYRIGHT.txt and SHA256SUMS
#   qvx-VERSION-linux-x86_64.tar.gz   an install prefix: bin/qvx, libexec/qvx/Setup, the static
#                                     library, headers, CMake package, pkg-config file, manual
#                                     page, bash completion and documentation
#   qvx_VERSION_amd64.deb             the same under /usr, with the packages its programs need
#   SHA256SUMS                        over the three
#
# The same commit gives the same bytes: every file carries the time SOURCE_DATE_EPOCH (the last
# commit's time unless it is set), owner root (0), mode 644 or 755 whatever the umask, and the
# archives list their files in name order; gzip writes no time; the binaries hold no path of the
# machine that built them; the PE files no time stamp; the manual page text no date.
#
# Usage: scripts/release.sh
# Environment:
#   SOURCE_DATE_EPOCH           the time of every file in the bundles (default: the last commit's)
#   QVX_RELEASE_WINDOWS_BUILD   the build tree of the Windows programs, configured afresh with the
#                               mingw preset (default build/dist-windows); the test stage passes
#                               the windows stage's build/mingw, whose programs are then reused
#   QVX_RELEASE_STAGE           where the bundles are laid out before packing (default build/dist-stage)
#   QVX_JOBS                    build parallelism (default 2)
# A tree with uncommitted changes gives bundles marked VERSION-dirty.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${QVX_JOBS:-2}
# The zip stores local times and sort follows the locale: both fixed.
export TZ=UTC LC_ALL=C

say() { printf '== %s\n' "$*"; }
die() {
  echo "release.sh: $*" >&2
  exit 1
}

./scripts/install-deps.sh build windows release
missing=()
for tool in cmake ninja g++ x86_64-w64-mingw32-g++-posix dpkg-deb dpkg-shlibdeps file groff gzip tar zip sha256sum; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
((${#missing[@]} == 0)) || die "missing ${missing[*]} (scripts/install-deps.sh build windows release installs them)"

# The version: the project's, marked -dirty when the tree differs from its commit.
version=$(sed -n 's/^project(qvx VERSION \([0-9][0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || die "CMakeLists.txt: no project version found"
newest=$(grep -m1 '^## ' CHANGELOG.md || true)
case "$newest" in
  "## $version" | "## $version "*) ;;
  *) die "CHANGELOG.md: the newest section is '${newest:-none}', not version $version" ;;
esac
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  if [ -n "$(git status --porcelain)" ]; then
    echo "release.sh: the tree has uncommitted changes; the bundles are marked $version-dirty" >&2
    git status --short >&2
    version=$version-dirty
  fi
  : "${SOURCE_DATE_EPOCH:=$(git log -1 --format=%ct)}"
elif [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  die "not a git checkout: set SOURCE_DATE_EPOCH to the time the bundles' files should carry"
fi
export SOURCE_DATE_EPOCH
say "qvx $version, files dated $(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC')"

# The native programs, library and manual page.
linux_build=build/dist-linux
say "Building the native programs and library (dist-linux preset)"
cmake --preset dist-linux --fresh -G Ninja >/dev/null
cmake --build "$linux_build" -j "$jobs"

# The Windows programs, from the mingw preset (the same bytes wherever the tree lies). A fresh
# configuration drops whatever the tree's cache held beyond the preset; what is built already
# with the same commands is not built again.
win_build=${QVX_RELEASE_WINDOWS_BUILD:-build/dist-windows}
say "Building the Windows programs (mingw preset, $win_build)"
cmake --preset mingw -B "$win_build" --fresh -G Ninja >/dev/null
cmake --build "$win_build" -j "$jobs" --target qvx Setup QuorvexEngine

stage=${QVX_RELEASE_STAGE:-build/dist-stage}
rm -rf "$stage"
mkdir -p "$stage"
stage=$(cd "$stage" && pwd)

linux_name=qvx-$version-linux-x86_64
windows_name=qvx-$version-windows-x86_64
deb_name=qvx_${version}_amd64.deb

say "Laying out the bundles in $stage"
cmake --install "$linux_build" --prefix "$stage/$linux_name" --strip >/dev/null
DESTDIR=$stage/deb cmake --install "$linux_build" --prefix /usr --strip >/dev/null
gzip -9n "$stage/deb/usr/share/man/man1/qvx.1"

windows=$stage/$windows_name
mkdir -p "$windows/docs"
cp "$win_build/tools/qvx/qvx.exe" "$win_build/launcher/Setup.exe" \
  "$win_build/examples/engine/QuorvexEngine.exe" "$windows/"
cp README.md "$stage/$linux_name/share/doc/qvx/RELEASE-NOTES.md" "$windows/"
cp docs/*.md "$windows/docs/"
cp packaging/copyright "$windows/COPYRIGHT.txt"
groff -man -Tascii -P-cbou "$linux_build/tools/qvx/doc/qvx.1" >"$windows/qvx-manual.txt"
(cd "$windows" && find . -type f | sed 's|^\./||' | sort | xargs sha256sum >"$stage/SHA256SUMS")
mv "$stage/SHA256SUMS" "$windows/"

# Modes from the owner's bits alone (the umask of the build does not count), one time for all.
chmod -R u+rwX,go=u-w "$stage"
find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

say "Packing into dist/"
mkdir -p dist
rm -f "dist/$windows_name.zip" "dist/$linux_name.tar.gz" "dist/$deb_name" dist/SHA256SUMS
(cd "$stage" && find "$windows_name" | sort | zip -X -9 -q -@ "$root/dist/$windows_name.zip")
tar --sort=name --format=gnu --owner=0 --group=0 --numeric-owner --mtime="@$SOURCE_DATE_EPOCH" \
  -C "$stage" -cf - "$linux_name" | gzip -9n >"dist/$linux_name.tar.gz"
# CPack gives the members of the .deb the modes of its own working files: those follow the umask.
(umask 022 && QVX_DEB_ROOT=$stage/deb QVX_DEB_VERSION=$version \
  cpack --config cmake/DebianPackage.cmake -B "$stage/cpack" >/dev/null)
mv "$stage/cpack/$deb_name" dist/
(cd dist && sha256sum "$windows_name.zip" "$linux_name.tar.gz" "$deb_name" >SHA256SUMS)

say "Done"
(cd dist && ls -l "$windows_name.zip" "$linux_name.tar.gz" "$deb_name" SHA256SUMS && cat SHA256SUMS)
