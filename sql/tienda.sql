-- Shop database ("Base de Datos.dba"): the tables the sales program keeps and
-- the saved queries the print robot reads, as views.
--
-- Booleans are integers: 0 is false, any other value is true; the robot
-- writes -1 for true. Dates are ISO text ('2026-12-05').
-- A document is pending for a till while Imprimir is true, Impresa false and
-- Control NULL; the partial indexes below hold exactly those rows, so the
-- robot's once-a-second queries stay fast however long the history grows.

-- Company settings: the robot reads the first row.
CREATE TABLE [Configuración] (
    Código INTEGER PRIMARY KEY,
    NombreCompañía TEXT,
    RIFCompañía TEXT,
    DirecciónCompañía TEXT,
    ipServidor TEXT,
    PuertoServicio INTEGER,
    ModoSoloServicio INTEGER DEFAULT 0,
    VerCantidad INTEGER,
    VerCantidadDecimal INTEGER
);

CREATE TABLE Clientes (
    Código INTEGER PRIMARY KEY,
    COD_CLI TEXT,
    NombreCliente TEXT,
    Rif TEXT,
    Teléfono TEXT,
    Dirección TEXT
);

CREATE TABLE Vendedores (
    Código INTEGER PRIMARY KEY,
    NombreVendedor TEXT
);

CREATE TABLE FormasPago (
    Código INTEGER PRIMARY KEY,
    NombreFormaPago TEXT
);

CREATE TABLE Productos (
    Código INTEGER PRIMARY KEY,
    COD_PROD TEXT,
    Nombre TEXT,
    ExcentoImpuesto INTEGER DEFAULT 0
);

CREATE TABLE Ventas (
    Código INTEGER PRIMARY KEY,
    Fecha TEXT,
    Cliente INTEGER REFERENCES Clientes (Código),
    Vendedor INTEGER REFERENCES Vendedores (Código),
    FormaPago INTEGER REFERENCES FormasPago (Código),
    MedioPago INTEGER,
    PorcentImpuesto REAL DEFAULT 0.12,
    ORD_COMP TEXT,
    NotaEntrega TEXT,
    PlantillaAuxiliar INTEGER DEFAULT 0,
    CampoTextoAdic01 TEXT,
    CampoTextoAdic02 TEXT,
    CampoTextoAdic03 TEXT,
    Factura TEXT,
    Control TEXT,
    Impresa INTEGER DEFAULT 0,
    Imprimir INTEGER DEFAULT 0,
    Anulada INTEGER DEFAULT 0,
    Local INTEGER DEFAULT 0,
    MáquinaFiscal INTEGER,
    NúmeroZ INTEGER
);

CREATE TABLE VentasDetalles (
    Código INTEGER PRIMARY KEY,
    Venta INTEGER NOT NULL REFERENCES Ventas (Código),
    Producto INTEGER REFERENCES Productos (Código),
    Cantidad INTEGER,
    CantDec REAL,
    Precio REAL,
    Especificación TEXT,
    Serial TEXT
);

CREATE TABLE [NotaCréditoVenta] (
    Código INTEGER PRIMARY KEY,
    Fecha TEXT,
    Venta INTEGER REFERENCES Ventas (Código),
    Cliente INTEGER REFERENCES Clientes (Código),
    PorcentImpuesto REAL DEFAULT 0.12,
    Monto REAL DEFAULT 0,
    MontoExcento REAL DEFAULT 0,
    Motivo TEXT,
    Número TEXT,
    Control TEXT,
    Impresa INTEGER DEFAULT 0,
    Imprimir INTEGER DEFAULT 0,
    Anulada INTEGER DEFAULT 0,
    MáquinaFiscal INTEGER,
    NúmeroZ INTEGER
);

CREATE TABLE [NotaCréditoVentaDetalles] (
    Código INTEGER PRIMARY KEY,
    NotaCredVent INTEGER NOT NULL REFERENCES [NotaCréditoVenta] (Código),
    Producto INTEGER REFERENCES Productos (Código),
    Cantidad INTEGER,
    CantDec REAL,
    Precio REAL
);

-- Pending documents per till, in Código order. The WHERE clause must stay the
-- same terms the robot's queries use, or SQLite will not pick the index.
CREATE INDEX VentasPendientes ON Ventas (MáquinaFiscal, Código)
    WHERE Imprimir <> 0 AND Impresa = 0 AND Control IS NULL;
CREATE INDEX NotasPendientes ON [NotaCréditoVenta] (MáquinaFiscal, Código)
    WHERE Imprimir <> 0 AND Impresa = 0 AND Control IS NULL;
CREATE INDEX VentasDetallesVenta ON VentasDetalles (Venta);
CREATE INDEX NotaDetallesNota ON [NotaCréditoVentaDetalles] (NotaCredVent);

-- Sale header as the robot reads it. Vista1 is the sale's display text.
CREATE VIEW [Consulta Ventas] AS
SELECT
    v.Código AS Código,
    v.Fecha AS Fecha,
    printf('%06d', v.Código) || ' ' || c.NombreCliente AS Vista1,
    c.COD_CLI AS COD_CLI,
    c.NombreCliente AS NombreCliente,
    c.Rif AS Rif,
    c.Teléfono AS Teléfono,
    c.Dirección AS Dirección,
    ve.NombreVendedor AS NombreVendedor,
    f.NombreFormaPago AS NombreFormaPago,
    v.MedioPago AS MedioPago,
    v.PorcentImpuesto AS PorcentImpuesto,
    v.ORD_COMP AS ORD_COMP,
    v.NotaEntrega AS NotaEntrega,
    v.PlantillaAuxiliar AS PlantillaAuxiliar,
    v.CampoTextoAdic01 AS CampoTextoAdic01,
    v.CampoTextoAdic02 AS CampoTextoAdic02,
    v.CampoTextoAdic03 AS CampoTextoAdic03,
    v.Factura AS Factura,
    v.Control AS Control,
    v.Impresa AS Impresa,
    v.Imprimir AS Imprimir,
    v.Anulada AS Anulada,
    v.Local AS Local,
    v.MáquinaFiscal AS MáquinaFiscal,
    v.NúmeroZ AS NúmeroZ
FROM Ventas v
LEFT JOIN Clientes c ON c.Código = v.Cliente
LEFT JOIN Vendedores ve ON ve.Código = v.Vendedor
LEFT JOIN FormasPago f ON f.Código = v.FormaPago;

CREATE VIEW [Consulta VentasDetalles] AS
SELECT
    d.Código AS Código,
    d.Venta AS Venta,
    d.Cantidad AS Cantidad,
    d.CantDec AS CantDec,
    d.Precio AS Precio,
    d.Especificación AS Especificación,
    p.COD_PROD AS COD_PROD,
    p.Nombre AS Nombre,
    p.ExcentoImpuesto AS ExcentoImpuesto,
    d.Serial AS Serial
FROM VentasDetalles d
LEFT JOIN Productos p ON p.Código = d.Producto;

-- The fields the robot writes back after printing an invoice.
CREATE VIEW [Consulta Ventas Edición] AS
SELECT Código, Factura, Control, Impresa, Imprimir, MáquinaFiscal, NúmeroZ
FROM Ventas;

CREATE TRIGGER [Consulta Ventas Edición Actualizar]
INSTEAD OF UPDATE ON [Consulta Ventas Edición]
BEGIN
    UPDATE Ventas
    SET Factura = NEW.Factura,
        Control = NEW.Control,
        Impresa = NEW.Impresa,
        Imprimir = NEW.Imprimir,
        MáquinaFiscal = NEW.MáquinaFiscal,
        NúmeroZ = NEW.NúmeroZ
    WHERE Código = OLD.Código;
END;

-- Credit-note header: the customer, and the invoice it corrects ("factura",
-- "FechaVenta"). Vista4 is the note's display text.
CREATE VIEW [Consulta NotaCréditoVenta] AS
SELECT
    n.Código AS Código,
    n.Fecha AS Fecha,
    'Nota ' || printf('%06d', n.Código) AS Vista4,
    n.Venta AS Venta,
    c.NombreCliente AS NombreCliente,
    c.Rif AS Rif,
    c.Dirección AS Dirección,
    v.Factura AS factura,
    v.Fecha AS FechaVenta,
    n.PorcentImpuesto AS PorcentImpuesto,
    n.Monto AS Monto,
    n.MontoExcento AS MontoExcento,
    n.Motivo AS Motivo,
    n.Número AS Número,
    n.Control AS Control,
    n.Impresa AS Impresa,
    n.Imprimir AS Imprimir,
    n.Anulada AS Anulada,
    n.MáquinaFiscal AS MáquinaFiscal,
    n.NúmeroZ AS NúmeroZ
FROM [NotaCréditoVenta] n
LEFT JOIN Clientes c ON c.Código = n.Cliente
LEFT JOIN Ventas v ON v.Código = n.Venta;

CREATE VIEW [Consulta NotaCréditoVenta Detalles] AS
SELECT
    d.Código AS Código,
    d.NotaCredVent AS NotaCredVent,
    d.Cantidad AS Cantidad,
    d.CantDec AS CantDec,
    d.Precio AS Precio,
    p.COD_PROD AS COD_PROD,
    p.Nombre AS Nombre,
    p.ExcentoImpuesto AS ExcentoImpuesto
FROM [NotaCréditoVentaDetalles] d
LEFT JOIN Productos p ON p.Código = d.Producto;
