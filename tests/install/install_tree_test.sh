#!/usr/bin/env bash
# Installs the build into a staging root (DESTDIR) and checks the installed
# tree: exactly the expected files, a desktop entry, icon and AppStream
# metadata that their validators accept, a man page that formats without a
# warning, and an installed vimbrel-cli that runs, with its helper for fetch
# and xmltv.
# Usage: install_tree_test.sh BUILD_DIR PREFIX VERSION
set -euo pipefail
build=$1 prefix=$2 version=$3
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

DESTDIR=$root cmake --install "$build" > "$root/install.log" || { cat "$root/install.log"; exit 1; }
top=$root$prefix
id=org.vimbrel.Vimbrel
expected="bin/vimbrel
bin/vimbrel-cli
bin/vimbrel-demo-server
bin/vimbrel-sample
libexec/vimbrel/vimbrel-cli-net
share/applications/$id.desktop
share/icons/hicolor/scalable/apps/$id.svg
share/man/man1/vimbrel-cli.1.gz
share/metainfo/$id.metainfo.xml"
found=$(cd "$top" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
[ "$found" = "$expected" ] || fail "installed files differ:"$'\n'"$(diff <(echo "$expected") <(echo "$found"))"
for program in vimbrel vimbrel-cli vimbrel-demo-server vimbrel-sample; do
  [ -x "$top/bin/$program" ] || fail "bin/$program is not executable"
done

desktop=$top/share/applications/$id.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $id.desktop"
[ "$(sed -n 's/^Exec=//p' "$desktop")" = vimbrel ] || fail "the desktop entry does not start vimbrel"
icon=$(sed -n 's/^Icon=//p' "$desktop")
head -c 300 "$top/share/icons/hicolor/scalable/apps/$icon.svg" 2>/dev/null | grep -q '<svg ' ||
  fail "the desktop entry's icon $icon is not an installed SVG"
grep -q '^Name\[zh_CN\]=' "$desktop" || fail "the desktop entry has no Chinese name"

metainfo=$top/share/metainfo/$id.metainfo.xml
appstreamcli validate --no-net "$metainfo" > "$root/appstream.log" 2>&1 ||
  { cat "$root/appstream.log"; fail "appstreamcli rejects the metadata"; }
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
  fail "the metadata does not launch $id.desktop"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metadata lacks release $version"

warnings=$(gzip -dc "$top/share/man/man1/vimbrel-cli.1.gz" | LC_ALL=C.UTF-8 groff -k -man -Tutf8 -ww -z 2>&1)
[ -z "$warnings" ] || fail "the man page formats with warnings: $warnings"

out=$("$top/bin/vimbrel-cli" --version) || fail "the installed vimbrel-cli --version failed"
[ "$out" = "vimbrel-cli (Vimbrel) $version" ] || fail "vimbrel-cli --version printed '$out'"

# A guide without channels cannot be packed: the helper says so, as vimbrel-cli.
echo '<tv></tv>' > "$root/guide.xml"
"$top/bin/vimbrel-cli" xmltv "$root/guide.xml" "$root/out.zip" 2> "$root/xmltv.err" &&
  fail "the installed vimbrel-cli xmltv packed an empty guide"
grep -q '^vimbrel-cli: ' "$root/xmltv.err" && ! grep -q 'cannot run' "$root/xmltv.err" ||
  fail "the installed vimbrel-cli did not run its helper: $(cat "$root/xmltv.err")"

[ "$failures" -eq 0 ] || exit 1
echo "installed tree checked: $(echo "$found" | wc -l) files under $prefix"
