#!/usr/bin/env bash
# Seeds one fault at a time into a scratch copy of the program and checks
# that the tests notice it.
#
#   bash scripts/mutantes.sh            # every fault of scripts/mutantes.txt
#   bash scripts/mutantes.sh ID [ID...] # only these
#
# Each line of scripts/mutantes.txt is one plausible slip (see the header of
# that file). For each one, in the scratch copy: the text is replaced, the
# program and its tests are built, the tests run without the end-to-end ones,
# and the file is put back. A fault is "caught" when the build fails or a test
# fails, "missed" when everything passes, "not applied" when its text is not
# found exactly once (or its file is missing) - never skipped in silence.
#
# The scratch copy is a detached git worktree at this checkout's HEAD commit
# (uncommitted changes are not in it), in build/mutantes/fuente, built in its
# build/ folder, so that builds are incremental and share ccache with the
# normal build. Before the faults, the unchanged copy is built and tested
# once: a test that already fails there would make every fault look caught,
# so the run stops (MUTANTES_BASE=0 skips that check).
#
# The table (id, library, description, result, failed tests) is printed at
# the end and rewritten to build/mutantes.md after every fault, so an
# interrupted run keeps what finished. Everything runs under nice -n 19.
#
# Settings: MUTANTES_COPIA (scratch worktree), MUTANTES_OBRA (its build
# folder), MUTANTES_TABLA (the table), MUTANTES_JOBS (2), MUTANTES_PARAR=1
# (no new test starts after the first failure: faster, but the table then
# names only the tests that failed first).
set -uo pipefail

raiz=$(cd "$(dirname "$0")/.." && pwd)
lista="$raiz/scripts/mutantes.txt"
copia=${MUTANTES_COPIA:-$raiz/build/mutantes/fuente}
obra=${MUTANTES_OBRA:-$copia/build}
tabla=${MUTANTES_TABLA:-$raiz/build/mutantes.md}
registros="$raiz/build/mutantes/registros"
jobs=${MUTANTES_JOBS:-2}
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$raiz")}
export CCACHE_NOHASHDIR=1

falla() { echo "mutantes.sh: $*" >&2; exit 2; }
command -v python3 > /dev/null || falla "python3 is needed to apply the replacements"
[ -f "$lista" ] || falla "no list at $lista"

# --- The list: id, file, find, replace, description (TAB-separated) --------
ids=() archivos=() buscados=() reemplazos=() descripciones=()
declare -A indice=()
n=0
while IFS= read -r linea || [ -n "$linea" ]; do
  n=$((n + 1))
  linea=${linea%$'\r'}
  case "$linea" in '' | '#'*) continue ;; esac
  IFS=$'\x1f' read -r -a campos <<< "${linea//$'\t'/$'\x1f'}"
  [ "${#campos[@]}" -eq 5 ] || falla "line $n of $lista: ${#campos[@]} fields instead of 5"
  [ -z "${indice[${campos[0]}]+x}" ] || falla "line $n of $lista: id ${campos[0]} repeated"
  indice[${campos[0]}]=${#ids[@]}
  ids+=("${campos[0]}") archivos+=("${campos[1]}") buscados+=("${campos[2]}")
  reemplazos+=("${campos[3]}") descripciones+=("${campos[4]}")
done < "$lista"

if [ $# -gt 0 ]; then
  elegidos=()
  for id in "$@"; do
    [ -n "${indice[$id]+x}" ] || falla "no fault with id $id in $lista"
    elegidos+=("${indice[$id]}")
  done
else
  elegidos=("${!ids[@]}")
fi

# --- One run at a time on the scratch copy ---------------------------------
mkdir -p "$(dirname "$copia")" "$registros" "$(dirname "$tabla")"
exec 9> "$raiz/build/mutantes/.cerrojo"
flock -n 9 || falla "another run is using $copia"

commit=$(git -C "$raiz" rev-parse HEAD) || falla "$raiz is not a git checkout"
if [ -e "$copia/.git" ]; then
  git -C "$copia" checkout -q --detach "$commit" && git -C "$copia" reset -q --hard ||
    falla "could not bring $copia to $commit"
else
  git -C "$raiz" worktree add -q --detach "$copia" "$commit" > /dev/null ||
    falla "could not create the scratch worktree $copia"
fi
if [ ! -f "$obra/build.ninja" ]; then
  nice -n 19 cmake -S "$copia" -B "$obra" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    > "$registros/configurar.log" 2>&1 || falla "configure failed, see $registros/configurar.log"
fi

# Only what those tests need: the end-to-end programs are not rebuilt.
construir() { nice -n 19 cmake --build "$obra" -j"$jobs" --target pruebas_sin_e2e > "$1" 2>&1; }
probar() {
  nice -n 19 ctest --test-dir "$obra" -LE e2e -E capas -j"$jobs" --timeout 300 \
    --output-on-failure ${MUTANTES_PARAR:+--stop-on-failure} > "$1" 2>&1
}
# The failed tests of a ctest log, comma-separated ("tst_a (Failed), tst_b (Timeout)").
fallidas() {
  sed -n '/The following tests FAILED:/,$p' "$1" |
    sed -n 's/^[[:space:]]*[0-9][0-9]* - \(.*\)$/\1/p' | paste -sd, - | sed 's/,/, /g'
}

# --- The file being changed is always put back -----------------------------
respaldo=$(mktemp)
cambiado=""
restaurar() {
  # A plain copy, not cp -p: the file must look newer than the object built
  # from the fault, or the next build would keep that object.
  if [ -n "$cambiado" ]; then
    cp "$respaldo" "$cambiado"
    cambiado=""
  fi
}
al_salir() {
  restaurar
  rm -f "$respaldo"
}
trap al_salir EXIT
trap 'echo "mutantes.sh: interrupted" >&2; exit 130' INT TERM HUP

# Replaces the one occurrence of $2 by $3 in file $1; exit 3 (and the count
# on stdout) when $2 is not there exactly once.
aplicar() {
  python3 - "$1" "$2" "$3" << 'FIN'
import sys
ruta, buscado, reemplazo = sys.argv[1:4]
with open(ruta, encoding="utf-8", newline="") as f:
    texto = f.read()
veces = texto.count(buscado)
if veces != 1:
    print(veces)
    sys.exit(3)
with open(ruta, "w", encoding="utf-8", newline="") as f:
    f.write(texto.replace(buscado, reemplazo, 1))
FIN
}

# --- The table ---------------------------------------------------------------
inicio=$(date +%s)
fecha=$(date '+%Y-%m-%d %H:%M %Z')
resultados=() detalles=() hechos=()
escribir_tabla() {
  local estado=$1 atrapados=0 perdidos=0 compilacion=0 sin_aplicar=0 i r
  for i in "${hechos[@]}"; do
    r=${resultados[$i]}
    case "$r" in
      caught*) atrapados=$((atrapados + 1)) ;;
      missed) perdidos=$((perdidos + 1)) ;;
      *) sin_aplicar=$((sin_aplicar + 1)) ;;
    esac
    [ "$r" = "caught (build failed)" ] && compilacion=$((compilacion + 1))
  done
  local aplicados=$((atrapados + perdidos)) segundos=$(($(date +%s) - inicio))
  {
    echo "# Seeded faults"
    echo
    echo "- Date: $fecha"
    echo "- Commit: \`$commit\`"
    echo "- Tests: \`ctest -LE e2e -E capas\` (end-to-end tests and the layer check left out)"
    echo "- Run: $estado; ${#hechos[@]} of ${#elegidos[@]} faults done in $((segundos / 60)) min $((segundos % 60)) s"
    echo "- Caught: $atrapados of $aplicados applied ($compilacion by a failed build); missed: $perdidos; not applied: $sin_aplicar"
    echo
    echo "| id | library | description | result | failed tests |"
    echo "|----|---------|-------------|--------|--------------|"
    for i in "${hechos[@]}"; do
      local biblioteca=${archivos[$i]#src/}
      biblioteca=${biblioteca%%/*}
      echo "| ${ids[$i]} | $biblioteca | ${descripciones[$i]//|/\\|} | ${resultados[$i]} | ${detalles[$i]//|/\\|} |"
    done
  } > "$tabla.tmp" && mv "$tabla.tmp" "$tabla"
}

trap 'echo "mutantes.sh: interrupted" >&2; escribir_tabla "interrupted"; exit 130' INT TERM HUP

# --- The unchanged copy first ------------------------------------------------
if [ "${MUTANTES_BASE:-1}" != 0 ]; then
  echo "== unchanged copy at ${commit:0:12}: build and tests" >&2
  construir "$registros/base-construir.log" ||
    falla "the unchanged copy does not build, see $registros/base-construir.log"
  if ! probar "$registros/base-pruebas.log"; then
    falla "tests fail on the unchanged copy ($(fallidas "$registros/base-pruebas.log")); see $registros/base-pruebas.log"
  fi
fi

# --- Each fault ----------------------------------------------------------------
for i in "${elegidos[@]}"; do
  id=${ids[$i]}
  archivo="$copia/${archivos[$i]}"
  desde=$(date +%s)
  detalle=""
  if [ ! -f "$archivo" ]; then
    resultado="not applied (no such file)"
  else
    cp "$archivo" "$respaldo"
    cambiado=$archivo
    if ! veces=$(aplicar "$archivo" "${buscados[$i]}" "${reemplazos[$i]}"); then
      restaurar
      resultado="not applied (text found ${veces:-?} times)"
    elif ! construir "$registros/$id-construir.log"; then
      resultado="caught (build failed)"
      detalle=$(grep -m1 -E 'error:' "$registros/$id-construir.log" | sed "s|$copia/||" | cut -c1-120)
    elif probar "$registros/$id-pruebas.log"; then
      resultado="missed"
    else
      resultado="caught (tests)"
      detalle=$(fallidas "$registros/$id-pruebas.log")
      [ -n "$detalle" ] || detalle="(ctest failed, see build/mutantes/registros/$id-pruebas.log)"
    fi
    restaurar
  fi
  resultados[$i]=$resultado
  detalles[$i]=$detalle
  hechos+=("$i")
  echo "== $id: $resultado${detalle:+ - $detalle} ($(($(date +%s) - desde)) s)" >&2
  escribir_tabla "in progress"
done

escribir_tabla "complete"
cat "$tabla"
