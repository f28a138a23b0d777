#!/usr/bin/env bash
# The launcher only expands, so it must link none of the encoders. Every function the library's
# compressing objects define (lh5/encode, lzh/encode, the compressing dispatch and the threaded
# compressor) is looked up in the launcher program; one found there fails the test.
#   expand-only-test.sh NM SETUP OBJECT_DIR
set -euo pipefail
nm=$1 setup=$2 objects=$3

shopt -s nullglob
encoder_objects=("$objects"/lh5/encode/*.o "$objects"/lzh/encode/*.o "$objects"/CompressCodec.cpp.o
  "$objects"/ThreadedCompress.cpp.o)
# The functions those objects define (text symbols of the library's namespace).
"$nm" --defined-only "${encoder_objects[@]}" 2> /dev/null | awk '$2 == "T" { print $3 }' | sort -u > encoder.syms
count=$(wc -l < encoder.syms)
# A list this short means the objects were not found: the check would pass for nothing.
if ((count < 20)); then
  echo "expand-only-test: only $count encoder functions found under $objects" >&2
  exit 1
fi

"$nm" "$setup" | awk '{ print $NF }' | sort -u > setup.syms
if ! grep -q PayloadLocator setup.syms; then
  echo "expand-only-test: $setup has no symbol table to check" >&2
  exit 1
fi

if comm -12 encoder.syms setup.syms | grep . > linked.syms; then
  echo "expand-only-test: $setup links $(wc -l < linked.syms) encoder functions:" >&2
  "${nm%nm}c++filt" < linked.syms >&2 2> /dev/null || cat linked.syms >&2
  exit 1
fi
echo "$setup links none of the $count encoder functions"
