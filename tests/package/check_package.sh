#!/usr/bin/env bash
# Builds the Debian package as scripts/package does (CPack, from the built tree) and has
# lintian check it: any error or warning fails, except the placeholder maintainer address
# while the build still uses it. SDL, loaded at run time, must be a dependency. Then the manual
# page must list every option of --help (and no other) and every key of the README's key table.
set -uo pipefail
BUILD=$1
SOURCE=$2
BINARY=$3
PLACEHOLDER=$4

source "$SOURCE/tests/e2e/e2elib.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack --config "$BUILD/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/brimtone_*.deb)
lintian --fail-on none "$deb" 2>/dev/null | grep -E '^[EW]: ' >"$work/lintian.txt"
cat "$work/lintian.txt"
left=$(cat "$work/lintian.txt")
if [ "$(dpkg-deb -f "$deb" Maintainer)" == "$PLACEHOLDER" ]; then
  left=$(grep -v -E '^E: brimtone: bogus-mail-host(-in-debian-changelog)? ' <<<"$left")
fi
check "lintian: no error or warning but the placeholder address" "" "$left"

# SDL is loaded once the windows are painted, not linked: the package has to name it itself.
check "the program links no SDL" "0" "$(readelf -d "$BINARY" | grep -c 'NEEDED.*libSDL2')"
check "the package depends on SDL" "libsdl2-2.0-0" \
  "$(dpkg-deb -f "$deb" Depends | grep -o 'libsdl2-2.0-0')"

# Options: those --help lists, those the manual page lists.
help_options=$("$BINARY" --help | sed -n 's/^  \(--[a-z-]*\).*/\1/p' | sort)
page=$(zcat "$BUILD/data/brimtone.1.gz")
page_options=$(awk '/^\.SH OPTIONS/{o=1; next} /^\.SH/{o=0} o && /^\.B /{print $2}' <<<"$page" |
  sed 's/\\-/-/g' | sort)
check "manual page: the options of --help" "$help_options" "$page_options"

# Keys: each key of the README's table (in backticks) is named by the manual page.
keys=$(awk '/^\| key \| does \|/{t=1; next} t && !/^\|/{t=0} t' "$SOURCE/README.md" |
  cut -d'|' -f2 | grep -o '`[^`]*`' | tr -d '`' | sort -u)
named=$(awk '/^\.SH KEYS/{k=1; next} /^\.SH/{k=0} k' <<<"$page" | sed 's/\\-/-/g; s/\\f[BR]/ /g')
missing=$(while read -r key; do
  grep -q -E "(^\.BR? |\" |^| )$(sed 's/[+]/[+]/g' <<<"$key")( |\"|$)" <<<"$named" || echo "$key"
done <<<"$keys")
check "manual page: every key of the README" "" "$missing"

[ "$failures" -eq 0 ]
