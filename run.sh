#!/bin/bash
# Installs, builds and starts Quillmere; arguments go to the program.
set -euo pipefail
source "$(dirname "$0")/tools/setup.sh" >&2
exec "$QM_ROOT/build/quillmere" "$@"
