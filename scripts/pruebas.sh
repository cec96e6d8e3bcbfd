#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
paso() { echo "== pruebas: $1 done at $SECONDS s"; }
bash scripts/dependencias.sh
paso "dependencies"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
paso "build"

# A throwaway PostgreSQL server for the tests of a shop database on a server:
# ROVEND_PG names it (those tests skip only without it), PGPASSWORD opens it.
# Stopped and removed when this script ends, however it ends.
raiz_pg=$(pwd)
carpeta_pg=""
terminar_pg() { [ -z "$carpeta_pg" ] || bash "$raiz_pg/scripts/postgres.sh" detener "$carpeta_pg"; }
trap terminar_pg EXIT
while IFS='=' read -r clave valor; do
  case "$clave" in
    ROVEND_PG) export ROVEND_PG="$valor" ;;
    PGPASSWORD) export PGPASSWORD="$valor" ;;
    ROVEND_PG_CARPETA) carpeta_pg="$valor" ;;
  esac
done < <(bash scripts/postgres.sh iniciar)
[ -n "${ROVEND_PG:-}" ] || { echo "pruebas.sh: the PostgreSQL test server did not start" >&2; exit 1; }

cd build
ctest --output-on-failure -j2
cd ..
paso "tests"

# The unit and integration tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer, in build-san/ (the end-to-end tests stay on the
# normal build). Any report fails its test. ROVEND_SANITIZADORES=0 skips it.
if [ "${ROVEND_SANITIZADORES:-1}" != 0 ]; then
  cmake --preset san > /dev/null
  cmake --build --preset san
  paso "sanitizer build"
  ctest --preset san
  paso "sanitizer tests"
fi
