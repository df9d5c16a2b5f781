#!/usr/bin/env bash
# Builds the dashboard and opens it on three simulated meters: no hardware.
# Installs the Debian packages it misses, builds the dashboard and its user
# manual (Release, in build/), and runs
#   build/app/quorvel-dashboard --demo 3
# in $QUORVEL_DEMO_OUT (default demo-output/), where its settings file and
# spreadsheet files go. The meters run inside the dashboard and end with it.
# Further arguments go to the dashboard: --demo N for another number of
# meters, --screenshot FILE [--page P] [--after S] to render the window to a
# PNG file (no display needed), --help for the rest.
set -euo pipefail
caller=$PWD
cd "$(dirname "$0")/.."
root=$PWD

dashboard=build/app/quorvel-dashboard
out=${QUORVEL_DEMO_OUT:-$root/demo-output}

# A file named relative to the caller's folder, not the dashboard's.
from_caller() { if [[ -z "$1" || "$1" == /* ]]; then printf '%s' "$1"; else printf '%s/%s' "$caller" "$1"; fi; }

args=()
demo=no
window=yes
while (($# > 0)); do
  case "$1" in
    --demo | --demo=*) demo=yes; args+=("$1") ;;
    --screenshot)
      window=no
      args+=("$1")
      if (($# > 1)); then args+=("$(from_caller "$2")"); shift; fi
      ;;
    --screenshot=*) window=no; args+=("--screenshot=$(from_caller "${1#--screenshot=}")") ;;
    -h | --help | -v | --version) window=no; args+=("$1") ;;
    *) args+=("$1") ;;
  esac
  shift
done
[[ $demo == yes ]] || args=(--demo 3 "${args[@]}")

# Asked before anything is installed or built: without a display there is no
# window to show, but a screenshot can still be made offscreen.
if [[ $window == yes && -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  cat >&2 <<EOF
run-dashboard: there is no display (neither DISPLAY nor WAYLAND_DISPLAY is set),
so the dashboard's window cannot open here. It can render itself to a PNG file
offscreen instead. To build it and take a screenshot of three simulated meters:

  scripts/run-dashboard.sh --screenshot dashboard.png --after 6

or, once it is built:

  $dashboard --demo 3 --screenshot dashboard.png --after 6
EOF
  exit 1
fi

scripts/install-deps.sh build
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)" --target quorvel-dashboard quorvel_manual

mkdir -p "$out"
# Help looks in the working folder first: the manual just built is found
# there whatever the build was configured for (a build for an install
# prefix does not look in its build tree).
ln -sfn "$root/build/user manual.pdf" "$out/user manual.pdf"
cd "$out"
exec "$root/$dashboard" "${args[@]}"
