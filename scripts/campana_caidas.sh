#!/usr/bin/env bash
# The crash campaign: the real robot killed with SIGKILL at least 100 times
# while it prints invoices and credit notes (tests/e2e/tst_caidas.cpp with
# more kills). Prints the table of what each kill ended in and writes it to
# build/campana_caidas.md. Takes some 20 minutes.
#   bash scripts/campana_caidas.sh [KILLS] [SEED]     (default 110, 20261205)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/dependencias.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j2 --target tst_caidas
export ROVEND_CAIDAS="${1:-110}" ROVEND_SEMILLA="${2:-20261205}"
export ROVEND_INFORME="$PWD/build/campana_caidas.md"
export QT_QPA_PLATFORM=offscreen QTEST_FUNCTION_TIMEOUT=7200000
build/tests/e2e/tst_caidas
