#!/usr/bin/env bash
# The demo: builds everything, creates a demo shop in demo/ (a dozen invoices
# of different shapes, credit notes, a ticket), starts the fiscal printer
# simulator at 9600 baud on a pseudo-terminal and the server simulator, shows
# a few exchanges with the printer, then runs the robot (with its window when
# a display is there, headless otherwise) until every pending document is
# printed, and ends with a summary.
#   bash scripts/demo.sh            run until everything is printed
#   bash scripts/demo.sh --seguir   keep the robot running (close it or Ctrl+C)
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
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null || true' EXIT

build/tools/simfiscal/simfiscal --enlace "$impresora" --rollo "$demo/rollo.txt" \
  --diario "$demo/diario.jsonl" --estado-archivo "$demo/impresora.json" \
  --verbose 2>"$demo/simulador.log" >"$demo/simulador.out" &
pids+=($!)
build/tools/simservidor/simservidor --puerto 0 --vivo 10 --registro "$demo/servidor.log" \
  >"$demo/servidor.out" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -e "$impresora" ] && [ -s "$demo/servidor.out" ] && break; sleep 0.1; done
puerto_servidor=$(head -n1 "$demo/servidor.out")

echo "== Printer simulator on $(head -n1 "$demo/simulador.out") (linked at $impresora), 9600 baud"
echo "== Server simulator on port $puerto_servidor"
echo
echo "== A few exchanges through the robot's own link (command and reply, control bytes shown)"
build/tools/pruebaenlace/pruebaenlace --puerto "$impresora" estado-n estado-t registro fecha
echo
build/tools/tiendademo/tiendademo "$demo/tienda" --puerto "$impresora" --caja 1 \
  --servidor 127.0.0.1 --servidor-puerto "$puerto_servidor" >/dev/null
base="$demo/tienda/Datos/Base de Datos.dba"
python3 scripts/resumen_demo.py lista "$base" 1 >"$demo/pendientes.txt"
echo "== Demo shop in $demo/tienda: $(wc -l <"$demo/pendientes.txt") documents pending for till 1"
echo

# The status page on a free loopback port; its last answers are kept in the demo folder.
puerto_estado=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
args=(--carpeta "$demo/tienda" --estado "127.0.0.1:$puerto_estado")
echo "== Status while it runs: http://127.0.0.1:$puerto_estado/ (also /estado and /metrics)"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then args+=(--sin-ventana); fi
if [ $seguir -eq 1 ]; then
  echo "== The robot runs until you close it (robot log: $demo/tienda/rovend.log)"
  build/src/app/rovend "${args[@]}" || true
else
  echo "== The robot prints the pending documents (log: $demo/tienda/rovend.log) ..."
  build/src/app/rovend "${args[@]}" >"$demo/robot.out" 2>&1 &
  robot=$!
  pids+=($robot)
  # Invoices go one per second-tick; a credit note every twelfth free tick.
  for _ in $(seq 600); do
    [ "$(python3 scripts/resumen_demo.py cuenta "$base" 1)" = "0" ] && break
    kill -0 $robot 2>/dev/null || break
    sleep 1
  done
  python3 - "$puerto_estado" "$demo" <<'PY' || true
import json, sys, urllib.request
base = f"http://127.0.0.1:{sys.argv[1]}"
for ruta, archivo in (("/estado", "estado.json"), ("/metrics", "metrics.txt")):
    with urllib.request.urlopen(base + ruta, timeout=5) as r:
        open(f"{sys.argv[2]}/{archivo}", "wb").write(r.read())
e = json.load(open(f"{sys.argv[2]}/estado.json"))
print("== /estado: robot", e["robot"]["estado"], "- printed", e["documentos_impresos"],
      "- pending", {k: v["cantidad"] for k, v in e["pendientes"].items()},
      "- printer state", e["impresora"]["codigo_estado"], e["impresora"]["significado"])
PY
  kill -TERM $robot 2>/dev/null || true
  wait $robot || true
fi
echo
echo "== What became of each document"
python3 scripts/resumen_demo.py resumen "$base" 1 "$demo/pendientes.txt"
echo
echo "Paper roll: $demo/rollo.txt"
echo "Journal:    $demo/diario.jsonl (one JSON line per printed document)"
echo "Server log: $demo/servidor.log"
[ $seguir -eq 1 ] || echo "Status:     $demo/estado.json and $demo/metrics.txt (the endpoint's last answers)"
