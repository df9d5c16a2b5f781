#!/usr/bin/env bash
# Lints the files that put the dashboard into the menu, the software centre and udev: the
# Debian validators for the menu entry and the metainfo, and the rule's syntax; and that the
# metainfo and the Debian changelog speak of the project's version and licence.
# Usage: packaging/lint.sh DESKTOP METAINFO RULES VERSION LICENSE CHANGELOG
#   (exit 77: a validator is missing)
set -euo pipefail
desktop=$1 metainfo=$2 rules=$3 version=$4 license=$5 changelog=$6

for tool in desktop-file-validate appstreamcli dpkg-parsechangelog; do
  if ! command -v "$tool" >/dev/null; then
    echo "lint: $tool is missing (scripts/install-deps.sh test installs it)"
    exit 77
  fi
done

# desktop-file-validate prints warnings and hints but exits 0 on them: any output fails.
report=$(desktop-file-validate "$desktop" 2>&1) || true
if [[ -n "$report" ]]; then
  echo "$report"
  exit 1
fi
echo "desktop-file-validate: $(basename "$desktop") passes"

# appstreamcli fails on errors and warnings; its advice (infos) fails here too.
report=$(appstreamcli validate --no-net "$metainfo" 2>&1) || { echo "$report"; exit 1; }
if grep -q '^[EWI]:' <<<"$report"; then
  echo "$report"
  exit 1
fi
echo "appstreamcli validate: $(basename "$metainfo") passes"
newest=$(grep -o '<release version="[^"]*"' "$metainfo" | head -n 1 | cut -d '"' -f 2)
if [[ "$newest" != "$version" ]]; then
  echo "lint: the newest release in $(basename "$metainfo") is '$newest', the project is $version"
  exit 1
fi
declared=$(sed -n 's|.*<project_license>\(.*\)</project_license>.*|\1|p' "$metainfo")
if [[ "$declared" != "$license" ]]; then
  echo "lint: $(basename "$metainfo") says the licence is '$declared', the project's is $license"
  exit 1
fi

# The changelog's newest entry is the release the metainfo names: same version, same day.
logged=$(dpkg-parsechangelog -l "$changelog" -S Version)
if [[ "$logged" != "$version" ]]; then
  echo "lint: the newest entry of $changelog is '$logged', the project is $version"
  exit 1
fi
released=$(grep -o '<release version="[^"]*" date="[^"]*"' "$metainfo" | head -n 1 |
  cut -d '"' -f 4)
logged_day=$(date -u -d "$(dpkg-parsechangelog -l "$changelog" -S Date)" +%F)
if [[ "$logged_day" != "$released" ]]; then
  echo "lint: the newest entry of $changelog is dated $logged_day, the release $released"
  exit 1
fi
echo "changelog: $version of $released"

# udev: uaccess is applied in 73-seat-late.rules, so the tag must be set by a file sorting before it.
name=$(basename "$rules")
if [[ ! "$name" < "73-seat-late.rules" ]]; then
  echo "lint: $name sorts after 73-seat-late.rules; the uaccess tag would come too late"
  exit 1
fi
if udevadm verify --help >/dev/null 2>&1; then  # systemd 253 and later
  udevadm verify "$rules"
fi
pair='[A-Z_]+(\{[A-Za-z0-9_]+\})?(==|!=|\+=|-=|:=|=)"[^"]*"'
while IFS= read -r line; do
  [[ -z "$line" || "$line" == \#* ]] && continue
  if [[ ! "$line" =~ ^$pair(,\ *$pair)*$ ]]; then
    echo "lint: $name: not a rule line: $line"
    exit 1
  fi
done <"$rules"
for id in 7523 5523; do
  if ! grep -q "ATTRS{idVendor}==\"1a86\", ATTRS{idProduct}==\"$id\", .*TAG+=\"uaccess\"" "$rules"; then
    echo "lint: $name gives no seat access to 1a86:$id"
    exit 1
  fi
done
echo "udev rule: $name passes"
