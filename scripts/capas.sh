#!/usr/bin/env bash
# The folders of src/ are the layers, lowest first. A folder may include and
# link only folders before it in this list; this script fails on any include
# or link that points up (or sideways to a later folder), and on an include
# of a project header that does not name its folder.
#   bash scripts/capas.sh
set -uo pipefail
cd "$(dirname "$0")/.."
capas=(comun impresora tienda documentos motor servidor estado ventana app)
declare -A nivel
for i in "${!capas[@]}"; do nivel[${capas[$i]}]=$i; done

fallas=0
for capa in "${capas[@]}"; do
  [ -d "src/$capa" ] || { echo "falta la carpeta src/$capa"; fallas=$((fallas + 1)); continue; }
  # Includes: "carpeta/Archivo.h" must name a folder at or below this one.
  while IFS=: read -r archivo linea texto; do
    destino=$(sed -E 's/.*#include "([^"/]+)\/.*/\1/' <<<"$texto")
    if [[ "$texto" != *'/'* ]]; then
      echo "$archivo:$linea: sin carpeta: $texto"; fallas=$((fallas + 1))
    elif [ -z "${nivel[$destino]+x}" ]; then
      echo "$archivo:$linea: carpeta desconocida: $texto"; fallas=$((fallas + 1))
    elif [ "${nivel[$destino]}" -gt "${nivel[$capa]}" ]; then
      echo "$archivo:$linea: $capa incluye $destino, que está encima"; fallas=$((fallas + 1))
    fi
  done < <(grep -nE '^\s*#\s*include\s+"' src/"$capa"/*.h src/"$capa"/*.cpp 2>/dev/null)
  # Links: target_link_libraries of the folder's library.
  for enlazada in $(sed -nE "s/^\\s*target_link_libraries\\(\\s*$capa\\s+(PUBLIC|PRIVATE)\\s+(.*)\\)/\\2/p" \
                      "src/$capa/CMakeLists.txt"); do
    [[ "$enlazada" == Qt6::* ]] && continue
    if [ -z "${nivel[$enlazada]+x}" ]; then
      echo "src/$capa/CMakeLists.txt: enlaza $enlazada, que no es una capa"; fallas=$((fallas + 1))
    elif [ "${nivel[$enlazada]}" -ge "${nivel[$capa]}" ]; then
      echo "src/$capa/CMakeLists.txt: $capa enlaza $enlazada, que no está debajo"; fallas=$((fallas + 1))
    fi
  done
done
# Only the window (and the program above it) may use Qt Widgets.
while IFS= read -r archivo; do
  echo "$archivo: usa Qt Widgets fuera de la ventana"; fallas=$((fallas + 1))
done < <(grep -lE '#include <Q(Widget|Application|MainWindow|Label|PushButton|TextEdit|SystemTrayIcon|MessageBox)' \
           src/{comun,impresora,tienda,documentos,motor,servidor,estado}/*.{h,cpp} 2>/dev/null)
if [ "$fallas" -gt 0 ]; then
  echo "capas: $fallas enlaces o inclusiones hacia arriba"
  exit 1
fi
echo "capas: ${capas[*]}: ninguna inclusión ni enlace hacia arriba"
