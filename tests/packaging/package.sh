#!/usr/bin/env bash
# The Debian package, built from the build tree with CPack: its contents and fields, lintian, the desktop entry
# and the AppStream file validated, then installed into an empty root with dpkg, its program started there
# (offscreen, private home), and purged again without leaving anything behind.
# usage: package.sh BUILD_DIR CPACK VERSION HAS_HELPER(0|1) ARTIFACTS_DIR
set -euo pipefail
BUILD=$1 CPACK=$2 VERSION=$3 HAS_HELPER=$4
source "$(dirname "$0")/../e2e/lib/desktop.sh"
e2e_begin package "$5"
e2e_require "$CPACK" dpkg dpkg-deb lintian desktop-file-validate appstreamcli
export QT_QPA_PLATFORM=offscreen

log "cpack"
"$CPACK" --config "$BUILD/CPackConfig.cmake" -B "$RUN/out" >"$RUN/cpack.log" 2>&1 || { cat "$RUN/cpack.log"; fail "cpack"; }
DEB=$RUN/out/harbrill_${VERSION}-1_$(dpkg --print-architecture).deb
[ -f "$DEB" ] || fail "no $DEB"

ID=com.mirelda.Harbrill
expected=(
  /usr/bin/harbrill
  /usr/bin/harbrill-selection
  /usr/share/man/man1/harbrill-selection.1.gz
  /usr/share/applications/$ID.desktop
  /usr/share/kio/servicemenus/harbrill.desktop
  /usr/share/kio/servicemenus/harbrill-folders.desktop
  /usr/share/icons/hicolor/scalable/apps/$ID.svg
  /usr/share/metainfo/$ID.metainfo.xml
  /usr/share/man/man1/harbrill.1.gz
  /usr/share/doc/harbrill/copyright
  /usr/share/doc/harbrill/changelog.Debian.gz
  /usr/share/lintian/overrides/harbrill
)
for size in 16 22 24 32 48 64 128 256; do expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/$ID.png"); done
[ "$HAS_HELPER" = 1 ] && expected+=(/usr/bin/harbrill-helper /usr/share/man/man1/harbrill-helper.1.gz)

# Exactly these files: a stray install rule (a test program, a header) shows up here.
dpkg-deb -c "$DEB" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' | sort >"$RUN/contents.txt"
printf '%s\n' "${expected[@]}" | sort >"$RUN/expected.txt"
diff "$RUN/expected.txt" "$RUN/contents.txt" || fail "package contents differ (< expected, > packaged)"

field() { dpkg-deb -f "$DEB" "$1"; }
[ "$(field Package)" = harbrill ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$VERSION-1" ] || fail "Version: $(field Version)"
[ "$(field Section)" = utils ] || fail "Section: $(field Section)"
depends=$(field Depends)
# From the shared libraries, and the plugins they load at run time.
for package in libc6 libqt6widgets6 libqt6svg6 libqt6multimedia6 libqt6dbus6 gstreamer1.0-plugins-good \
               gstreamer1.0-libav qt6-wayland libwayland-client0; do
  grep -Eq "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends lacks $package: $depends"
done

log "lintian"
lintian --fail-on error --tag-display-limit 0 "$DEB" >"$RUN/lintian.log" 2>&1 || { cat "$RUN/lintian.log"; fail "lintian"; }
grep -E '^[EW]: ' "$RUN/lintian.log" || true

ROOT=$RUN/root
mkdir -p "$ROOT/var/lib/dpkg/info" "$ROOT/var/lib/dpkg/updates"
touch "$ROOT/var/lib/dpkg/status" "$ROOT/var/lib/dpkg/available"
(cd "$ROOT" && find . | sort) >"$RUN/empty-root.txt"
# The root is empty, so none of the dependencies are there; they are checked above.
DPKG=(dpkg --root="$ROOT" --force-not-root --force-depends --log=/dev/null)
"${DPKG[@]}" -i "$DEB" >"$RUN/dpkg.log" 2>&1 || { cat "$RUN/dpkg.log"; fail "dpkg -i"; }

desktop-file-validate "$ROOT/usr/share/applications/$ID.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$ROOT/usr/share/metainfo/$ID.metainfo.xml" || fail "metainfo"

log "the installed program"
APP=$ROOT/usr/bin/harbrill
item=$RUN/item; touch "$item"
# Each invocation with its exit status and what it must say.
check() {
  local status=$1 text=$2 out rc; shift 2
  out=$("$@" 2>&1) && rc=0 || rc=$?
  [ "$rc" = "$status" ] && grep -qF -- "$text" <<<"$out" || fail "$* gave $rc: $out (expected $status: $text)"
}
check 1 "Harbrill is not running." "$APP" --service moveHarbrill "$item"
check 0 "usage: harbrill" "$APP" --help
check 0 "harbrill $VERSION" "$APP" --version
check 2 "usage: harbrill" "$APP" --bogus
check 2 "Unknown service" "$APP" --service nothing "$item"

# Set up already, so that it takes files at once instead of showing its first-launch pages.
write_setup_complete_profile
"$APP" >"$RUN/harbrill.log" 2>&1 &
PID=$!; track $PID harbrill
wait_for 20 test -S "$XDG_RUNTIME_DIR/harbrill/services.sock" || fail "no services socket"
check 0 "" "$APP"
# No folder was granted in this profile: the answer says the item was left out, and why.
check 1 "Harbrill took 0 of the 1 items for moveHarbrill. Left out, as Harbrill cannot read them" \
  "$APP" --service moveHarbrill "$item"

# The entries the program writes for the user take the place of the packaged ones by having the same names;
# they must say the same, bar the program's path.
DATA=$XDG_DATA_HOME
for entry in applications/$ID.desktop kio/servicemenus/harbrill.desktop kio/servicemenus/harbrill-folders.desktop; do
  wait_for 10 test -f "$DATA/$entry" || fail "the program wrote no $entry"
  diff <(sed "s|Exec=$APP|Exec=harbrill|" "$DATA/$entry") "$ROOT/usr/share/$entry" \
    || fail "$entry: the user's copy (<) and the packaged one (>) differ"
done
desktop-file-validate "$DATA/applications/$ID.desktop" || fail "the user's desktop entry"

# SIGTERM (a logout) takes the program's own quit path: a clean end.
kill -TERM $PID
wait $PID && rc=0 || rc=$?
[ "$rc" = 0 ] || { cat "$RUN/harbrill.log"; fail "harbrill ended with $rc on SIGTERM, not by its quit path"; }

log "purge"
"${DPKG[@]}" --purge harbrill >>"$RUN/dpkg.log" 2>&1 || { cat "$RUN/dpkg.log"; fail "dpkg --purge"; }
# dpkg's own records of the purge may stay; nothing of the package may.
(cd "$ROOT" && find . -not -path './var/lib/dpkg/*' | sort) >"$RUN/purged-root.txt"
diff <(grep -v '^\./var/lib/dpkg/' "$RUN/empty-root.txt") "$RUN/purged-root.txt" || fail "left behind after purge (>)"
