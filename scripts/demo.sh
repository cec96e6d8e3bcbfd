#!/usr/bin/env bash
# The demo: builds everything, creates a demo shop in demo/, starts the
# fiscal printer simulator at 9600 baud on a pseudo-terminal, shows a few
# real exchanges with it, and runs the robot on the shop.
#   bash scripts/demo.sh            headless unless a display is there
#   bash scripts/demo.sh --seguir   keep the robot running (Ctrl+C ends it)
set -euo pipefail
cd "$(dirname "$0")/.."
raiz=$(pwd)
seguir=0
[ "${1:-}" = "--seguir" ] && seguir=1

bash scripts/dependencias.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2

demo="$raiz/demo"
rm -rf "$demo"
mkdir -p "$demo"
impresora="$demo/impresora"

build/tools/simfiscal/simfiscal --enlace "$impresora" --rollo "$demo/rollo.txt" \
  --diario "$demo/diario.jsonl" --estado-archivo "$demo/impresora.json" \
  --verbose 2>"$demo/simulador.log" >"$demo/simulador.out" &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$impresora" ] && break; sleep 0.1; done

echo "== Printer simulator on $(head -n1 "$demo/simulador.out"), linked at $impresora"
echo
echo "== A few exchanges through the robot's link (command and reply, control bytes shown)"
build/tools/pruebaenlace/pruebaenlace --puerto "$impresora" estado-n estado-t registro fecha corte
echo
build/tools/tiendademo/tiendademo "$demo/tienda" --puerto "$impresora" --caja 1 >/dev/null
echo "== Demo shop in $demo/tienda (Vendrix.inf, databases, maintenance marker)"
echo
args=(--carpeta "$demo/tienda")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then args+=(--sin-ventana); fi
if [ $seguir -eq 1 ]; then
  echo "== The robot (Ctrl+C ends it)"
  build/src/robot/rovend "${args[@]}"
else
  echo "== The robot, for five seconds: the pending lists of till 1"
  build/src/robot/rovend "${args[@]}" --sin-ventana & robot=$!
  sleep 5
  kill -TERM $robot; wait $robot || true
fi
echo
echo "Paper roll: $demo/rollo.txt   journal: $demo/diario.jsonl   robot log: $demo/tienda/rovend.log"
