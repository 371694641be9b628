#!/bin/sh
# Runs bench_aes three times, once per OpenSSL AES code path. OpenSSL reads
# OPENSSL_ia32cap only while it initialises, so each path needs its own process.
#   1. default: OpenSSL uses AES-NI
#   2. AES-NI masked (CPUID.1:ECX bit 25 = capability bit 57): its vector-permute
#      (SSSE3) code
#   3. AES-NI and SSSE3 masked (bit 41 too): its table code
# Our own cipher is measured in every run, table code and AES-NI separately.
# Usage: bench/run_aes.sh [path/to/bench_aes] [benchmark flags...]
set -eu
bin=${1:-$(dirname "$0")/bench_aes}
[ $# -gt 0 ] && shift
echo "== OpenSSL with AES-NI (default)"
"$bin" "$@"
echo "== OpenSSL without AES-NI (vector-permute code)"
OPENSSL_ia32cap="~0x200000000000000" "$bin" "$@"
echo "== OpenSSL without AES-NI and SSSE3 (table code)"
OPENSSL_ia32cap="~0x200020000000000" "$bin" "$@"
