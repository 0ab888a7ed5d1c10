#!/bin/bash
# Installs what the build needs (Debian 12, as root) and builds in build/.
# Sourced by run.sh and test.sh; safe to run again and again.
set -euo pipefail
QM_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
QM_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev
             libgtest-dev libgmock-dev libbenchmark-dev attr acl e2fsprogs
             util-linux procps unrtf python3 openssl dosfstools
             qtkeychain-qt6-dev libqt6svg6 desktop-file-utils appstream)

qm_install() {
  local missing=()
  for p in "${QM_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
  done
  if ((${#missing[@]})); then
    if [[ $(id -u) -ne 0 ]]; then
      echo "Missing packages: ${missing[*]} (run as root to install them)" >&2
      exit 2
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

# Only some tests need these; a machine without them skips those tests.
QM_OPTIONAL_PACKAGES=(sshfs openssh-server)

qm_install_optional() {
  local missing=()
  for p in "${QM_OPTIONAL_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
  done
  if ((${#missing[@]})) && [[ $(id -u) -eq 0 ]]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" \
      >/dev/null 2>&1 || echo "Optional test packages not installed: ${missing[*]}" >&2
  fi
}

qm_build() {
  # A compiler cache, where the machine has one, makes rebuilds cheap.
  local launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S "$QM_ROOT" -B "$QM_ROOT/build" -G Ninja -Wno-dev "${launcher[@]}" >/dev/null
  cmake --build "$QM_ROOT/build" -j"$(nproc)"
}

qm_install
qm_build
