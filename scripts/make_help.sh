#!/bin/sh
# Compiles the help sources in resources/help/src into resources/help/tallyk_eng.chm.
# Needs chmcmd from the Debian package fp-utils (apt-get install fp-utils).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
src="$here/resources/help/src"
command -v chmcmd >/dev/null 2>&1 || { echo "chmcmd not found: apt-get install fp-utils" >&2; exit 1; }
cd "$src"
rm -f tallyk_eng.chm
chmcmd --html-scan tallyk_eng.hhp
mv tallyk_eng.chm "$here/resources/help/tallyk_eng.chm"
echo "wrote resources/help/tallyk_eng.chm"
