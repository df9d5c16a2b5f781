#!/usr/bin/env bash
# Checks the service's systemd unit as systemd reads it: its syntax and the
# programs it starts (the built quorvel-cli stands in for the installed one),
# and its exposure as "systemd-analyze security" rates it (at most 2.5 of 10).
# Usage: packaging/check-unit.sh UNIT QUORVEL_CLI   (exit 77: systemd-analyze is missing)
set -euo pipefail
unit=$1 cli=$2
if ! command -v systemd-analyze >/dev/null; then
  echo "check-unit: systemd-analyze is missing (scripts/install-deps.sh test installs it)"
  exit 77
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
copy=$scratch/$(basename "$unit")
sed "s|/usr/bin/quorvel-cli|$cli|g" "$unit" >"$copy"
systemd-analyze verify --man=no "$copy"
systemd-analyze security --offline=yes --threshold=25 "$copy" >"$scratch/security" ||
  { cat "$scratch/security"; exit 1; }
tail -n 1 "$scratch/security"
grep -q '^ExecStart=/usr/bin/quorvel-cli serve --config ' "$unit" || { echo "check-unit: ExecStart is not quorvel-cli serve"; exit 1; }
echo "unit: $(basename "$unit") passes"
