#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR and checks that the tree holds every file that the
# launcher, the man pages and the window itself name: the launcher's program, folder and icons,
# the sounds the window resolves when started as the launcher starts it, the files and pages the
# man pages refer to; and a man page and bash completion where users look for them.
#   install_tree_test.sh BUILD_DIR PREFIX DATADIR MANDIR
set -euo pipefail
build=$1 prefix=$2 datadir=$3 mandir=$4

dest=$(mktemp -d)
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  rm -rf "$dest"
}
trap cleanup EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

DESTDIR=$dest cmake --install "$build" >/dev/null
root=$dest$prefix

# The launcher.
desktop=$root/$datadir/applications/corvane-programmer.desktop
[ -f "$desktop" ] || { echo "FAIL: no launcher at $desktop" >&2; exit 1; }
key() { sed -n "s/^$1=//p" "$desktop" | head -n1; }
exec_line=$(key Exec) path=$(key Path) icon=$(key Icon)
program=${exec_line%% *}
[ -x "$dest$program" ] || fail "launcher's Exec $program is not an installed program"
[ -d "$dest$path" ] || fail "launcher's Path $path is not an installed folder"
[ -f "$root/$datadir/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon $icon"
for size in 16 32 48 64 128 256; do
  [ -f "$root/$datadir/icons/hicolor/${size}x$size/apps/$icon.png" ] || fail "no ${size}px icon $icon"
done
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "launcher does not validate"
fi

# The window started as the launcher starts it: in Path, resolving its sounds from there.
log=$dest/window.log
(cd "$dest$path" && QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="corvane.sound.debug=true" \
  exec "$dest$program") >/dev/null 2>"$log" &
pid=$!
deadline=$((SECONDS + 30))
until [ "$(grep -c '^corvane.sound: sound file' "$log" || true)" -ge 2 ] || [ $SECONDS -ge $deadline ]; do
  sleep 0.1
done
kill -TERM "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
pid=""
sounds=$(sed -n 's/^corvane.sound: sound file: //p' "$log")
[ "$(echo "$sounds" | grep -c .)" -eq 2 ] || fail "window did not find both sounds: $(cat "$log")"
for s in $sounds; do
  case $s in "$dest$path"/voice/*.wav) ;; *) fail "sound $s not in the launcher's folder" ;; esac
  [ -f "$s" ] || fail "sound $s missing"
done

# Man pages: one for every program; every installed path and page they name exists.
for p in "$root"/bin/*; do
  [ -f "$root/$mandir/man1/$(basename "$p").1.gz" ] || fail "no man page for $(basename "$p")"
done
[ -f "$root/$mandir/man5/corvane-flash-records.5.gz" ] || fail "no man page for the records of corvane-flash"
for page in "$root/$mandir"/man1/*.1.gz "$root/$mandir"/man5/*.5.gz; do
  text=$(zcat "$page")
  for f in $(grep -o "$prefix/[A-Za-z0-9_./-]*[A-Za-z0-9_]" <<<"$text" | sort -u); do
    [ -e "$dest$f" ] || fail "$(basename "$page") names $f, which is not installed"
  done
  for ref in $(grep -o '^\.BR corvane-[a-z-]* ([15])' <<<"$text" | awk '{print $2 $3}' | tr -d ')' | sort -u); do
    name=${ref%(*} section=${ref#*(}
    [ -f "$root/$mandir/man$section/$name.$section.gz" ] ||
      fail "$(basename "$page") refers to $name($section), which is not installed"
  done
  if command -v man >/dev/null; then
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null || true)
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
  fi
done

# Bash completion for the command-line tools.
for p in corvane-flash corvane-pack corvane-devsim; do
  f=$root/$datadir/bash-completion/completions/$p
  if [ -f "$f" ]; then bash -n "$f" || fail "completion $p does not parse"; else fail "no completion for $p"; fi
done

[ -f "$root/$datadir/doc/corvane-programmer/copyright" ] || fail "no copyright file"
[ -f "$root/$datadir/doc/corvane-programmer/README.md" ] || fail "no README (its troubleshooting) in the doc folder"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "installed tree complete"
