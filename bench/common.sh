# Set-up shared by the benchmark scripts, sourced by them: runs from the repository's root, gives a
# temporary directory $tmp that goes away on exit, and helpers to build with the release preset,
# to make the corpora and to take a median.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
corpus=$root/build/corpus

# build_release TARGET...: configures the release preset and builds the targets.
build_release() {
  cmake --preset release -G Ninja > /dev/null
  cmake --build --preset release --target "$@" -j2 > /dev/null
}

# make_corpora SIZE: the four corpora of SIZE bytes each in $corpus.
make_corpora() {
  bench/make-corpus.sh "$corpus" "$1" > /dev/null
}

# median: the median of the numbers on standard input, one a line.
median() {
  sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'
}
