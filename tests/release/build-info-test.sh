#!/usr/bin/env bash
# cmake/BuildInfo.cmake on throw-away git repositories: the commit it records in each state of a
# tree, and that it leaves the header alone while nothing changed.
#   build-info-test.sh CMAKE SCRIPT
set -uo pipefail
cmake=$1 script=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/qvx-build-info.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

git() { command git -c user.name=t -c user.email=t@example.invalid -c init.defaultBranch=main "$@"; }
repo=$work/repo
mkdir -p "$repo/sub" "$work/plain"
git -C "$repo" init -q && echo a >"$repo/a.txt" && git -C "$repo" add a.txt && git -C "$repo" commit -qm one
head() { command git -C "$repo" rev-parse --short=12 HEAD; }

header=$work/QvxBuildInfo.h
run() {  # run SOURCE_DIR: writes $header; prints the recorded commit
    "$cmake" -DSOURCE_DIR="$1" -DOUTPUT="$header" -DVERSION=9.8.7 -P "$script" || return 1
    grep -q '^#define QVX_BUILD_VERSION "9.8.7"$' "$header" || return 1
    sed -n 's/^#define QVX_BUILD_COMMIT "\(.*\)"$/\1/p' "$header"
}

# state | source dir | expected commit (evaluated after the state is made)
cases=(
  'true|$repo|$(head)'
  'echo b >>"$repo/a.txt"|$repo|$(head)-dirty'
  'git -C "$repo" commit -qam two|$repo|$(head)'
  'echo c >"$repo/untracked.txt"|$repo|$(head)'
  'git -C "$repo" add untracked.txt|$repo|$(head)-dirty'
  'git -C "$repo" commit -qm three|$repo/sub|'
  'true|$work/plain|'
)
for entry in "${cases[@]}"; do
    IFS='|' read -r state dir expected <<<"$entry"
    eval "$state"
    dir=$(eval echo "$dir")
    expected=$(eval echo "$expected")
    got=$(run "$dir") || { fail "$state: the script failed"; continue; }
    [ "$got" = "$expected" ] || fail "after '$state', $dir: commit '$got', expected '$expected'"
done

# Nothing changed: the header keeps its time stamp, so nothing that includes it is rebuilt.
run "$repo" >/dev/null
touch -d '2001-01-01 00:00:00' "$header"
run "$repo" >/dev/null
[ "$(stat -c %Y "$header")" = "$(date -d '2001-01-01 00:00:00' +%s)" ] || fail "an unchanged header was rewritten"
echo d >>"$repo/a.txt"
run "$repo" >/dev/null
[ "$(stat -c %Y "$header")" != "$(date -d '2001-01-01 00:00:00' +%s)" ] || fail "a changed header was not rewritten"

"$cmake" -DSOURCE_DIR="$repo" -DVERSION=1 -P "$script" >/dev/null 2>&1 && fail "the script ran without OUTPUT"

[ "$failures" = 0 ] && echo "build-info-test: all checks passed"
[ "$failures" = 0 ]
