#!/usr/bin/env bash
# Installs the Debian packages the dashboard needs, only those missing.
# Usage: scripts/install-deps.sh [build|package|test|all]   (default: all)
set -euo pipefail

# fonts-wqy-microhei: a font with the ideographic comma of the settings page's feature list
# (Debian's default fonts lack it), for the screenshots and the demo.
# libmosquitto-dev: the MQTT client library the publisher speaks through.
build_packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-serialport-dev qt6-svg-dev libqcustomplot-dev
  libgtest-dev libbenchmark-dev help2man fonts-wqy-microhei libmosquitto-dev)
# The Debian package: cpack's dependency search runs dpkg-shlibdeps on what file(1) calls ELF.
package_packages=(dpkg-dev file)
# Fuzzing (clang with the libFuzzer runtime), the independent spreadsheet and bitmap readers, and for the
# package check the validators of the menu entry and the metainfo, man's own page check and
# Debian's package checker; clang-format checks the layout of the C++ files. The publisher's
# tests start Debian's broker (mosquitto, with mosquitto_passwd) and subscribe with its clients, make a TLS authority with openssl;
# systemd-analyze checks the service's unit.
test_packages=(clang clang-format libclang-rt-14-dev libfreexl-dev python3 python3-xlrd python3-pil libreoffice-calc-nogui
  desktop-file-utils appstream man-db lintian mosquitto mosquitto-clients openssl systemd)

case "${1:-all}" in
  build) wanted=("${build_packages[@]}") ;;
  package) wanted=("${build_packages[@]}" "${package_packages[@]}") ;;
  test | all) wanted=("${build_packages[@]}" "${package_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: $0 [build|package|test|all]" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -eq 0 ]]; then
  sudo=()
elif command -v sudo >/dev/null; then
  sudo=(sudo)
else
  echo "install-deps: these packages are missing and there is no sudo: ${missing[*]}" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# LibreOffice's recommends would pull a desktop; the readers need none of it.
if ! "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"; then
  "${sudo[@]}" apt-get update -q
  "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
