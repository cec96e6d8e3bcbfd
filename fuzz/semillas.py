#!/usr/bin/env python3
"""Writes the seed corpora in corpus/<target>/. The structured targets read
their input through libFuzzer's FuzzedDataProvider (bytes from the front,
numbers from the back), so the seeds are built the same way here.
Run from this folder: python3 semillas.py"""
import os

STX, ETX, FS, DC2, DEL = b"\x02", b"\x03", b"\x1c", b"\x12", b"\x7f"


class Fdp:
    """Builds an input that FuzzedDataProvider reads back as the given values."""

    def __init__(self):
        self.frente = b""
        self.cola = []  # bytes in the order they are consumed from the back

    def entero(self, minimo, maximo, valor):
        rango = maximo - minimo
        n, desplazamiento = 0, 0
        while desplazamiento < 64 and (rango >> desplazamiento) > 0:
            n += 1
            desplazamiento += 8
        v = valor - minimo
        self.cola += list(v.to_bytes(n, "big")) if n else []

    def bool(self, v):
        self.entero(0, 255, 1 if v else 0)

    def bytes(self, maximo, datos):
        self.entero(0, maximo, len(datos))
        self.frente += datos

    def datos(self):
        return self.frente + bytes(reversed(self.cola))


def suma(b):
    return ("%04X" % (sum(b) & 0xFFFF)).encode()


def trama(seq, comando):
    t = STX + bytes([seq]) + comando + ETX
    return t + suma(t)


def respuesta_n(factura=b"00000041", z=b"0007"):
    campos = [b"261205", b"103000", b"00000003", b"000000012", factura, b"00000012", z]
    return trama(0x21, b"8" + FS + b"0600" + FS + b"0000" + FS + FS.join(campos))


def respuesta_t(estado=b"00"):
    campos = [b"00", estado, b"00000041", b"00000003", b"0012"]
    return trama(0x22, b"8" + FS + b"0600" + FS + b"0000" + FS + FS.join(campos))


def escribir(objetivo, nombre, datos):
    carpeta = os.path.join("corpus", objetivo)
    os.makedirs(carpeta, exist_ok=True)
    with open(os.path.join(carpeta, nombre), "wb") as f:
        f.write(datos)


def enlace(nombre, intercambios):
    """intercambios: list of (restos, [(ms, bytes)], comando)."""
    f = Fdp()
    f.entero(-32768, 32767, 40)
    f.entero(1, 3, len(intercambios))
    for restos, trozos, comando in intercambios:
        f.bool(True)
        f.bool(False)
        f.bytes(8, restos)
        f.entero(0, 12, len(trozos))
        antes = 0
        for ms, b in trozos:
            f.entero(0, 1000, ms - antes)
            antes = ms
            f.bytes(48, b)
        f.bytes(16, comando)
    escribir("fuzz_enlace", nombre, f.datos())


def tramas(nombre, comandos):
    f = Fdp()
    f.entero(0, 7, 1)  # no faults
    f.bool(False)  # framed commands
    f.entero(1, 24, len(comandos))
    conocidos = b"89@ABEHIJKPY]^:;"
    for i, (letra, campos) in enumerate(comandos):
        f.entero(30, 72, 32 + i % 39)
        f.bool(True)
        f.entero(0, len(conocidos) - 1, conocidos.index(letra))
        f.entero(0, 9, len(campos))
        for c in campos:
            f.bytes(24, c)
        f.entero(0, 15, 1)  # not a reset
        f.entero(0, 9, 1)  # not damaged
        f.bytes(2, b"")
    for _ in range(64):
        f.entero(1, 64, 64)
    escribir("fuzz_tramas", nombre, f.datos())


def servidor(nombre, mensajes):
    f = Fdp()
    f.entero(1, 16, len(mensajes))
    for m in mensajes:
        f.entero(0, 3, 3)
        f.bytes(256, m)
        f.bytes(24, b"Se ha solicitado cierre Z")
    f.bytes(1024, b"")
    escribir("fuzz_servidor", nombre, f.datos())


n, t = respuesta_n(), respuesta_t()
enlace("entera", [(b"", [(40, n)], b"8" + FS + b"N")])
enlace("en_trozos", [(b"\x12\x12", [(10, DC2 * 3), (300, n[:20]), (320, n[20:-2]), (330, n[-2:])],
                      b"8" + FS + b"T")])
enlace("basura_y_dos", [(b"#?*", [(5, b"\x00\xff#" + t)], b"8" + FS + b"T"),
                        (b"", [(1, n[:-3]), (700, n[-3:])], b"E")])
enlace("muda", [(b"", [], b"K")])
enlace("error", [(b"", [(20, trama(0x20, b"@" + FS + b"0801" + FS + b"0000" + FS +
                                       b"ERROR" + FS + b"DOCUMENTO ABIERTO"))], b"@")])

factura = [
    (b"@", [b"Cliente de contado", b"V-12345678", DEL, DEL, DEL, DEL, DEL, DEL]),
    (b"A", [b"Pedido 17", DEL]),
    (b"B", [b"Producto", b"1000", b"1000", b"1200", b"M", DEL, DEL, DEL]),
    (b"B", [b"Exento", b"2500", b"350", b"0000", b"M", DEL, DEL, DEL]),
    (b"E", [b"A"]),
    (b"A", [b"Condicion: Contado", DEL]),
    (b"E", []),
    (b"8", [b"N"]),
    (b"8", [b"T"]),
]
nota = [
    (b"@", [b"Cliente", b"V-1", b"00000041", b"SIM0000001", b"12052026", b"1200", b"D", DEL]),
    (b"B", [b"Descuento aplicado a factura", b"1000", b"10000", b"1200", b"M", DEL, DEL, DEL]),
    (b"E", [b"A"]),
    (b"E", []),
    (b"8", [b"T"]),
]
cierres = [
    (b"9", [b"X"]), (b"9", [b"Z"]), (b"Y", []), (b"]", [b"1", b"TIENDA DEMO"]),
    (b"H", []), (b"I", [b"Texto"]), (b"J", []), (b":", [b"260101", b"261231", b"M"]),
    (b";", [b"0001", b"0009", DEL]), (b"P", [b"\x01"]), (b"K", []),
]
tramas("factura", factura)
tramas("nota", nota)
tramas("cierres", cierres)
tramas("abierta_dos_veces", factura[:3] + factura[:3])
f = Fdp()
f.entero(0, 7, 1)
f.bool(True)
crudo = b"\x12" + trama(0x20, b"8" + FS + b"N") + b"\x02\x21K\x03" + trama(0x46, b"K") + b"\x02"
f.bytes(4096, crudo)
escribir("fuzz_tramas", "crudo", f.datos())

escribir("fuzz_respuesta", "estado_n", n)
escribir("fuzz_respuesta", "estado_n_ocupado", respuesta_n(factura=b"NNNNNNNN"))
escribir("fuzz_respuesta", "estado_t", respuesta_t(b"01"))
escribir("fuzz_respuesta", "sintetica", STX + b"0" + FS + b"0" + FS + b"0" + FS +
         b"ERROR DE COMUNICACION" + ETX)
escribir("fuzz_respuesta", "fecha", trama(0x20, b"Y" + FS + b"0600" + FS + b"0000" + FS +
                                          b"261205" + FS + b"103000"))

escribir("fuzz_configuracion", "once_lineas",
         b"Datos:/srv/tienda/\r\nImpresora:Modelo\r\nPuerto:1\r\nCOD_PROD:0\r\n"
         b"Serial:SIM0000001\r\n80Columnas:-1\r\nDireccion:-1\r\nCaja:3\r\nEntregaOrden:0\r\n"
         b"MedioPago:1\r\nCampoTextoAdic01:0\r\n")
escribir("fuzz_configuracion", "con_servidor",
         b"Datos:C:\\Archivos de programa\\Taloma\\\nImpresora:X\nPuerto:COM2\nCOD_PROD:-1\n"
         b"Serial:ABC\n80Columnas:0\nDireccion:0\nCaja:  12.5\nEntregaOrden:-1\nMedioPago:0\n"
         b"CampoTextoAdic01:-1\nBaseDatos:db.local,5433,tienda,robot\n")
escribir("fuzz_configuracion", "comas", b"Datos:/d/,Impresora:,Puerto:/dev/ttyUSB0,Caja:\xe9")

servidor("charla", [b"B%", b"H%Buenas tardes, caja 1", b"0%", b"H%", b"F%Si"])
servidor("cierres", [b"M%Se ha solicitado cierre X 1", b"M%Se ha solicitado cierre Z 99999999999",
                     b"X%"])
servidor("rtf", [b"B%", b"H%{\\rtf1 \\cf3 texto\\par \\'e9}", b"N%hola"])
