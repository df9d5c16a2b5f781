#!/usr/bin/env bash
# Makes the Debian package from a build folder that is already built (configured with
# -DCMAKE_INSTALL_PREFIX=/usr), has Debian's own checker, lintian, look at all of it, unpacks it
# into a scratch root and checks that the programs start and that every file is where the menu,
# udev and man look for it. The scratch root
# (dpkg -x) needs no root rights and leaves the machine as it was; dpkg -i would also run the
# postinst, which only asks udev to look at plugged-in adapters again.
# Usage: scripts/check-package.sh [BUILD_DIR] [--require-dashboard]
#   --require-dashboard: fail when quorvel-dashboard is not in the package (else its checks
#   are skipped with a note).
set -euo pipefail
build=build
require_dashboard=0
for arg in "$@"; do
  case "$arg" in
    --require-dashboard) require_dashboard=1 ;;
    -*) echo "usage: $0 [BUILD_DIR] [--require-dashboard]" >&2; exit 2 ;;
    *) build=$arg ;;
  esac
done
build=$(cd "$build" && pwd)
app_id=io.github.quorvel.dashboard

rm -rf "$build/package"
if ! (cd "$build" && cpack -G DEB -B "$build/package" >"$build/package.log" 2>&1); then
  cat "$build/package.log"
  exit 1
fi
deb=$(ls "$build"/package/quorvel-dashboard_*.deb)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root=$scratch/root
dpkg -x "$deb" "$root"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
has() { [[ -f "$root/$1" ]] || fail "missing /$1"; }

echo "package: $(basename "$deb"), $(du -k "$deb" | cut -f 1) kB"
dpkg-deb --field "$deb" Package Version Section Depends Recommends

# lintian checks whatever the package holds (programs, pages, documents, units, files under
# /etc, maintainer scripts): any error or warning fails. Its advice (I:) and the tags the
# package overrides, each with its reason, are shown but pass. Root is warned against only
# because lintian unpacks untrusted packages; this one is ours.
if command -v lintian >/dev/null; then
  if report=$(lintian --fail-on error,warning --display-info --show-overrides "$deb" 2>&1); then
    status=0
  else
    status=$?
  fi
  report=$(grep -v '^running with root privileges is not recommended!$' <<<"$report" || true)
  [[ -z "$report" ]] || echo "$report"
  if ((status)) || grep -q '^[EW]: ' <<<"$report"; then
    fail "lintian finds errors or warnings in the package (exit status $status)"
  else
    echo "lintian: no errors, no warnings"
  fi
else
  fail "lintian is missing (scripts/install-deps.sh test installs it)"
fi
version=$(dpkg-deb --field "$deb" Version)
depends=$(dpkg-deb --field "$deb" Depends | tr ',' '\n' | awk '{ print $1 }')
for lib in libc6 libstdc++6 libqt6core6 libqt6serialport6; do
  grep -qxF "$lib" <<<"$depends" || fail "Depends names no $lib"
done

programs=(quorvel-cli quorvel-meter-sim)
if [[ -f "$root/usr/bin/quorvel-dashboard" ]]; then
  programs+=(quorvel-dashboard)
  dashboard=1
elif ((require_dashboard)); then
  fail "quorvel-dashboard is not in the package"
  dashboard=0
else
  echo "note: quorvel-dashboard is not built here: its checks (launcher, menu entry, icon," \
    "metainfo, manual page, screenshot) are skipped"
  dashboard=0
fi

for program in "${programs[@]}"; do
  has "usr/bin/$program"
  shown=$("$root/usr/bin/$program" --version 2>&1) || fail "$program --version exits with $?"
  [[ "$shown" == "$program $version"* ]] || fail "$program --version says '$shown', not $version"
  echo "$shown"
done
# Every command has its manual page, which man reads without a warning (as lintian runs it).
for command in "$root"/usr/bin/* "$root"/usr/sbin/*; do
  [[ -e "$command" ]] || continue
  name=$(basename "$command")
  section=1
  [[ "$command" == */sbin/* ]] && section=8
  page="usr/share/man/man$section/$name.$section.gz"
  has "$page"
  [[ -f "$root/$page" ]] || continue
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
    man --warnings -E UTF-8 -l "$root/$page" 2>&1 >/dev/null) || true
  [[ -z "$warnings" ]] || fail "man page of $name: $warnings"
done
has "usr/lib/udev/rules.d/70-quorvel-ch34x.rules"
has "usr/share/doc/quorvel-dashboard/copyright"
has "usr/share/doc/quorvel-dashboard/changelog.gz"
has "usr/share/doc/quorvel-dashboard/user manual.pdf"
head -c 5 "$root/usr/share/doc/quorvel-dashboard/user manual.pdf" | grep -q '%PDF-' ||
  fail "user manual.pdf is no PDF"

if ((dashboard)); then
  has "usr/bin/quorvel-dashboard-launcher"
  has "usr/share/applications/$app_id.desktop"
  has "usr/share/metainfo/$app_id.metainfo.xml"
  has "usr/share/icons/hicolor/scalable/apps/$app_id.svg"
  # The menu's way in: the launcher makes the working folder in the documents folder and
  # starts the dashboard there, so the screenshot's relative name lands in that folder.
  home=$scratch/home
  mkdir -p "$home" "$scratch/run"
  chmod 700 "$scratch/run"
  HOME=$home XDG_CONFIG_HOME='' XDG_DOCUMENTS_DIR='' XDG_RUNTIME_DIR=$scratch/run QT_QPA_PLATFORM=offscreen \
    "$root/usr/bin/quorvel-dashboard-launcher" --screenshot shot.png ||
    fail "quorvel-dashboard-launcher --screenshot exits with $?"
  shot="$home/Documents/QUORVEL Dashboard/shot.png"
  if [[ -s "$shot" ]] && file "$shot" | grep -q 'PNG image'; then
    echo "screenshot through the launcher: $(file -b "$shot")"
  else
    fail "no screenshot in $home/Documents/QUORVEL Dashboard"
  fi
  # Without a display the window says so at once instead of running unseen.
  said=$(cd "$scratch" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 20 \
    "$root/usr/bin/quorvel-dashboard" 2>&1) && status=0 || status=$?
  [[ $status == 1 && $said == *"there is no display"* ]] ||
    fail "quorvel-dashboard without a display exits with $status saying '$said'"
fi

echo "installed files:"
(cd "$root" && find . -type f -o -type l | sed 's|^\.||' | sort)
if ((failures)); then
  echo "package check: $failures failure(s)"
  exit 1
fi
echo "package check: all good"
