#!/usr/bin/env bash
# setuptool pack with too little memory for the compressor ends as a clean error: exit
# status 2, "out of memory" said, and neither the output nor its temporary file left behind.
# Usage: out_of_memory_check.sh SETUPTOOL SCRATCH_DIR
set -u
tool=$1 scratch=$2
rm -rf "$scratch" && mkdir -p "$scratch/product" || exit 1
head -c 3000000 /dev/urandom >"$scratch/product/data.bin"
printf 'Tool Version 1\r\n' >"$scratch/product/FILE_ID.DIZ"
# 20 MB of address space starts the program but leaves no room for the level-5 match finder.
(ulimit -v 20000; exec "$tool" pack "$scratch/product" -o "$scratch/setup.exe" --no-stub --level 5 -q) \
  2>"$scratch/err"
code=$?
left=$(ls "$scratch" | grep -c '^setup\.exe' || true)
if [ "$code" -ne 2 ] || ! grep -q "out of memory" "$scratch/err" || [ "$left" -ne 0 ]; then
  echo "exit $code, $left output file(s) left; it said:"; cat "$scratch/err"
  exit 1
fi
echo "out of memory: exit 2, nothing left"
