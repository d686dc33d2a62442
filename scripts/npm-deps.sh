#!/usr/bin/env bash
# Installs the npm packages that tests compare against, from the lock file, once.
set -euo pipefail
cd "$(dirname "$0")/../tests/npm"
if [[ ! -d node_modules ]] || [[ package-lock.json -nt node_modules/.package-lock.json ]]; then
  npm ci --no-audit --no-fund --loglevel=error
fi
