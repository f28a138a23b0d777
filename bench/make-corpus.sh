#!/usr/bin/env bash
# Writes the benchmark corpora into DIR (default build/corpus), SIZE bytes each (default 32 MiB):
#   text.bin         source code and prose: headers from /usr/include and manual pages
#   binary.bin       executables and shared libraries from /usr/bin and /usr/lib
#   repetitive.bin   a few lines repeated with small variations
#   random.bin       a keyed pseudo-random stream (incompressible)
# The choice and order of files is fixed by SEED (default 1): files are ordered by a hash of the seed
# and their path, then concatenated and cut to SIZE. The same machine, seed and size give the same
# bytes.
set -euo pipefail
dir=${1:-build/corpus}
size=${2:-$((32 * 1024 * 1024))}
seed=${3:-1}
mkdir -p "$dir"

keystream() {  # endless pseudo-random bytes fixed by the seed
  local key
  key=$(printf 'qvx-corpus-%s' "$seed" | sha256sum | cut -c1-32)
  openssl enc -aes-128-ctr -K "$key" -iv 00000000000000000000000000000000 -nosalt < /dev/zero 2>/dev/null
}

ordered() {  # paths on stdin -> the same paths in an order fixed by the seed
  shuf --random-source=<(keystream)
}

concat_to_size() {  # files on stdin; decompresses .gz; stops once size bytes are out
  local out=$1 written=0 f
  : > "$out"
  while IFS= read -r f; do
    case "$f" in
      *.gz) zcat -- "$f" 2>/dev/null >> "$out" || true ;;
      *) cat -- "$f" >> "$out" 2>/dev/null || true ;;
    esac
    written=$(stat -c %s "$out")
    [ "$written" -ge "$size" ] && break
  done
  truncate -s "$size" "$out"
}

if [ ! -s "$dir/text.bin" ] || [ "$(stat -c %s "$dir/text.bin")" != "$size" ]; then
  { find /usr/include -type f \( -name '*.h' -o -name '*.hpp' \) -size -512k; find /usr/share/man -type f -name '*.gz'; } \
    | LC_ALL=C sort | ordered | concat_to_size "$dir/text.bin" || true
fi
if [ ! -s "$dir/binary.bin" ] || [ "$(stat -c %s "$dir/binary.bin")" != "$size" ]; then
  { find /usr/bin -maxdepth 1 -type f -size +8k; find /usr/lib/x86_64-linux-gnu -maxdepth 1 -type f -name '*.so*' -size +8k; } \
    | LC_ALL=C sort | ordered | concat_to_size "$dir/binary.bin" || true
fi
if [ ! -s "$dir/repetitive.bin" ] || [ "$(stat -c %s "$dir/repetitive.bin")" != "$size" ]; then
  awk -v seed="$seed" 'BEGIN { srand(seed); for (i = 0; i < 2000000; i++)
      printf "%s record %06d status=%s value=%d\n", (i % 7 ? "INFO" : "WARN"), i % 1000, (i % 13 ? "ok" : "retry"), int(rand() * 4) }' \
    | head -c "$size" > "$dir/repetitive.bin" || true
  truncate -s "$size" "$dir/repetitive.bin"
fi
if [ ! -s "$dir/random.bin" ] || [ "$(stat -c %s "$dir/random.bin")" != "$size" ]; then
  keystream | head -c "$size" > "$dir/random.bin" || true
fi
ls -l "$dir"
