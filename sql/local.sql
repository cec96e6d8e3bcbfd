-- The robot's local database ("VendrixFiscal.dba" in the program's folder):
-- non-fiscal tickets waiting to be printed on a till.
--
-- Booleans are integers: 0 is false, any other value is true. Fecha is ISO
-- text ('2026-12-05'), so "older than today" is a plain text comparison.

CREATE TABLE TiketNoFiscal (
    Código INTEGER PRIMARY KEY,
    Fecha TEXT NOT NULL,
    Caja INTEGER,
    Imprimir INTEGER DEFAULT 0,
    Impresa INTEGER DEFAULT 0,
    Otro1 TEXT,
    Otro2 TEXT,
    Texto TEXT
);

-- Pending tickets per till, in Código order (same terms as the robot's query).
CREATE INDEX TiketsPendientes ON TiketNoFiscal (Caja, Código)
    WHERE Imprimir <> 0 AND Impresa = 0;
-- The start-up purge deletes by date.
CREATE INDEX TiketsFecha ON TiketNoFiscal (Fecha);

CREATE VIEW [Consulta TiketNoFiscal] AS
SELECT Código, Fecha, Caja, Imprimir, Impresa, Otro1, Otro2, Texto
FROM TiketNoFiscal;
