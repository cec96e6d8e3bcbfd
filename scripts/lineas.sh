#!/usr/bin/env bash
# Counts the C++ lines of the tests against those of the program: non-blank
# lines that are not only a comment, in every .cpp and .h file.
#   bash scripts/lineas.sh
# Program: src/ and tools/. Tests: tests/ (the fakes, benches and harnesses
# in tests/apoyo included). bench/ and fuzz/ are neither.
set -euo pipefail
cd "$(dirname "$0")/.."
python3 - src tools tests << 'FIN'
import os, sys

def lineas(ruta):
    n, bloque = 0, False
    for linea in open(ruta, encoding="utf-8", errors="replace"):
        s = linea.strip()
        if bloque:
            if "*/" not in s:
                continue
            bloque, s = False, s.split("*/", 1)[1].strip()
        if s.startswith("/*"):
            if "*/" not in s:
                bloque = True
                continue
            s = s.split("*/", 1)[1].strip()
        if s and not s.startswith("//"):
            n += 1
    return n

def carpeta(c):
    return sum(lineas(os.path.join(r, f)) for r, _, fs in os.walk(c)
               for f in fs if f.endswith((".cpp", ".h")))

src, tools, tests = (carpeta(c) for c in sys.argv[1:4])
print(f"src/ {src}, tools/ {tools}: program {src + tools} lines")
print(f"tests/ {tests} lines: {100 * tests / (src + tools):.1f} % of the program")
FIN
