#!/usr/bin/env bash
# The crash campaign: the real robot killed with SIGKILL at least 100 times
# while it prints invoices and credit notes (the campana program of
# tools/campana; the end-to-end test tst_caidas runs 20 kills of it). Prints
# the table of what each kill ended in and writes it to
# build/campana_caidas.md. Takes some 20 minutes.
#   bash scripts/campana_caidas.sh [KILLS] [SEED]     (default 110, 20261205)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/dependencias.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j2 --target campana
QT_QPA_PLATFORM=offscreen build/tools/campana/campana --caidas "${1:-110}" \
  --semilla "${2:-20261205}" --informe "$PWD/build/campana_caidas.md"
