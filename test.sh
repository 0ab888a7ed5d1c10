#!/bin/bash
# Installs, builds and runs every test; exits non-zero on any failure.
set -euo pipefail
source "$(dirname "$0")/tools/setup.sh"
qm_install_optional
cd "$QM_ROOT/build"
ctest --output-on-failure -j"$(nproc)" --timeout 300
