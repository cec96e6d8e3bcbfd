#!/usr/bin/env bash
# Builds the fuzzers (libFuzzer with clang, ASan + UBSan, the "fuzz" preset)
# in build-fuzz/ and runs each one for a short, bounded time from its seed
# corpus in fuzz/corpus/. A crash, a sanitizer report, a leak or a hang fails
# the script; the input that caused it is left in build-fuzz/hallazgos/.
#   bash scripts/fuzz.sh [SECONDS_PER_TARGET]     (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/dependencias.sh
segundos=${1:-20}
objetivos=(fuzz_enlace fuzz_respuesta fuzz_tramas fuzz_configuracion fuzz_servidor)

cmake --preset fuzz > /dev/null
cmake --build --preset fuzz
mkdir -p build-fuzz/hallazgos
estado=0
for t in "${objetivos[@]}"; do
  # New inputs go to the build folder; the repository keeps only the seeds.
  mkdir -p "build-fuzz/corpus/$t"
  registro="build-fuzz/$t.log"
  if build-fuzz/fuzz/$t -max_total_time="$segundos" -timeout=10 -print_final_stats=1 \
       -artifact_prefix="build-fuzz/hallazgos/$t-" "build-fuzz/corpus/$t" "fuzz/corpus/$t" \
       > "$registro" 2>&1; then
    ejecuciones=$(sed -n 's/^stat::number_of_executed_units: *//p' "$registro")
    cobertura=$(grep -o 'cov: [0-9]*' "$registro" | tail -n 1)
    echo "$t: ${segundos} s, ${ejecuciones:-?} ejecuciones, ${cobertura:-cov: ?}, sin fallas"
  else
    echo "$t: FALLA (entrada en build-fuzz/hallazgos/)" >&2
    tail -n 40 "$registro" >&2
    estado=1
  fi
done
exit $estado
