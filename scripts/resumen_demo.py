#!/usr/bin/env python3
"""The demo's view of the shop: the documents pending for a till, or what
became of them (the number the printer gave each one)."""
import sqlite3
import sys

PENDIENTES_FACTURAS = """SELECT Código, NombreCliente FROM [Consulta Ventas]
  WHERE Anulada = 0 AND Imprimir <> 0 AND Control IS NULL AND Local = 0
    AND Impresa = 0 AND MáquinaFiscal = ? ORDER BY Código"""
PENDIENTES_NOTAS = """SELECT Código, NombreCliente FROM [Consulta NotaCréditoVenta]
  WHERE Anulada = 0 AND Imprimir <> 0 AND Control IS NULL
    AND Impresa = 0 AND MáquinaFiscal = ? ORDER BY Código"""


def pendientes(db, caja):
    return ([("factura", c, n) for c, n in db.execute(PENDIENTES_FACTURAS, (caja,))] +
            [("nota", c, n) for c, n in db.execute(PENDIENTES_NOTAS, (caja,))])


def main():
    orden, base, caja = sys.argv[1], sys.argv[2], int(sys.argv[3])
    db = sqlite3.connect(f"file:{base}?mode=ro", uri=True, timeout=10)
    if orden == "cuenta":
        print(len(pendientes(db, caja)))
    elif orden == "lista":
        for tipo, codigo, nombre in pendientes(db, caja):
            print(f"{tipo} {codigo} {nombre}")
    elif orden == "resumen":
        # sys.argv[4]: the list saved before the robot ran
        with open(sys.argv[4], encoding="utf-8") as f:
            antes = [l.rstrip("\n").split(" ", 2) for l in f if l.strip()]
        for tipo, codigo, nombre in antes:
            if tipo == "factura":
                fila = db.execute("SELECT Factura, Impresa FROM [Consulta Ventas Edición] "
                                  "WHERE Código = ?", (int(codigo),)).fetchone()
            else:
                fila = db.execute("SELECT Número, Impresa FROM [NotaCréditoVenta] "
                                  "WHERE Código = ?", (int(codigo),)).fetchone()
            numero, impresa = fila if fila else (None, 0)
            estado = (f"número {numero}" if numero else "marcada impresa") if impresa else "PENDIENTE"
            etiqueta = "Factura" if tipo == "factura" else "Nota de crédito"
            print(f"  {etiqueta:<16} {codigo:>4}  {nombre[:40]:<40}  {estado}")


if __name__ == "__main__":
    main()
