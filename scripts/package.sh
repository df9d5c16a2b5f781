#!/usr/bin/env bash
# Builds the Debian package: a Release build for /usr in build-package/, then cpack.
# Install it with:  sudo apt install ./build-package/quorvel-dashboard_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh package
# A package build never fails on a compiler's new warnings; CI's build treats them as errors.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DQUORVEL_WERROR=OFF -DQUORVEL_TESTS=OFF -DQUORVEL_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build build-package -j "$(nproc)"
(cd build-package && cpack -G DEB)
ls -l build-package/*.deb
