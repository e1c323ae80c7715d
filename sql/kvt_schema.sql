-- Tables of one KVT database (run inside the database: USE <name> first).
--
-- One statement per block; every statement ends a line with ';' (no DELIMITER).
-- Column types keep the text form of each value exact when it is read by Qt and
-- bound back as text: no FLOAT (DOUBLE or DECIMAL instead), Date a DATE, Time a
-- TIME, signals a LONGBLOB, key columns numeric.

-- Inspection records: defects found.
CREATE TABLE defects (
    ID               INT UNSIGNED NOT NULL AUTO_INCREMENT,
    MyId             INT NULL,
    `Date`           DATE NULL,
    DefectoscopistID INT NULL,
    VagNo            INT NULL,
    DetTypeId        INT NULL,
    DetNo            INT NULL,
    DetParameter     INT NULL,
    DefectNo         INT NULL,
    ZavNo            INT NULL,
    ProdYear         SMALLINT NULL,
    `Time`           TIME NULL,
    ZoneID           INT NULL,
    Result           INT NULL,
    DefectID         INT NULL,
    DefectSize       DECIMAL(20,6) NULL,
    Amplitude        DOUBLE NULL,
    Printed          TINYINT NULL,
    CRC32            INT UNSIGNED NULL,
    Device           INT NULL,
    Errors           INT NULL,
    PRIMARY KEY (ID),
    KEY ix_defects_record (`Date`, `Time`, VagNo, DetNo, MyId)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

-- Inspection records: recorded signal graphics.
CREATE TABLE graphics (
    ID               INT UNSIGNED NOT NULL AUTO_INCREMENT,
    VagNo            INT NULL,
    DetNo            INT NULL,
    ZavNo            INT NULL,
    ProdYear         SMALLINT NULL,
    `Date`           DATE NULL,
    DefectoscopistID INT NULL,
    DetTypeId        INT NULL,
    `Time`           TIME NULL,
    DataType         TINYINT NULL,
    FieldType        TINYINT NULL,
    GradientType     TINYINT NULL,
    CountType        TINYINT NULL,
    CRC32            INT UNSIGNED NULL,
    Graphic          LONGBLOB NULL,
    Device           INT NULL,
    Picture          VARCHAR(255) NULL,
    DetParameter     INT NULL,
    DataId           INT NULL,
    Synced           TINYINT NULL,
    Errors           INT NULL,
    PRIMARY KEY (ID),
    KEY ix_graphics_record (`Date`, `Time`, VagNo, DetNo, DataId)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

-- Defect kinds.
CREATE TABLE defectref (
    ID    INT NOT NULL,
    Short VARCHAR(32) NULL,
    Name  VARCHAR(255) NULL,
    PRIMARY KEY (ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

-- Part types.
CREATE TABLE dettypes (
    ID    INT NOT NULL,
    Short VARCHAR(32) NULL,
    Name  VARCHAR(255) NULL,
    PRIMARY KEY (ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

-- Inspection devices.
CREATE TABLE device (
    ID   INT NOT NULL,
    Name VARCHAR(255) NULL,
    PRIMARY KEY (ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

-- Factories; Cod is the factory's number and the lookup key.
CREATE TABLE factory (
    ID    INT UNSIGNED NOT NULL AUTO_INCREMENT,
    Cod   INT NOT NULL,
    Short VARCHAR(32) NULL,
    Name  VARCHAR(255) NULL,
    PRIMARY KEY (ID),
    UNIQUE KEY ux_factory_cod (Cod)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

-- Inspection results.
CREATE TABLE results (
    ID    INT NOT NULL,
    Short VARCHAR(32) NULL,
    Name  VARCHAR(255) NULL,
    PRIMARY KEY (ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

-- People (operators); TabNo is the personnel number and the lookup key.
CREATE TABLE humans (
    ID       INT NOT NULL,
    Famname  VARCHAR(64) NULL,
    FstName  VARCHAR(64) NULL,
    SecName  VARCHAR(64) NULL,
    FullName VARCHAR(255) NULL,
    TabNo    INT NOT NULL,
    PRIMARY KEY (ID),
    UNIQUE KEY ux_humans_tabno (TabNo)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

-- Zones of a part type; DetTypeZone = 100 * DetTypeId + ID.
CREATE TABLE zones (
    DetTypeZone INT NOT NULL,
    ID          INT NOT NULL,
    DetTypeId   INT NOT NULL,
    Name        VARCHAR(255) NULL,
    PRIMARY KEY (DetTypeZone),
    KEY ix_zones_dettype (DetTypeId, ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

-- Working copies of the inspection station (not merged).
CREATE TABLE defects_tmp (
    ID       INT UNSIGNED NOT NULL AUTO_INCREMENT,
    MyId     INT NULL,
    `Date`   DATE NULL,
    `Time`   TIME NULL,
    VagNo    INT NULL,
    DetNo    INT NULL,
    DefectID INT NULL,
    PRIMARY KEY (ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE graphics_tmp (
    ID      INT UNSIGNED NOT NULL AUTO_INCREMENT,
    `Date`  DATE NULL,
    `Time`  TIME NULL,
    DataId  INT NULL,
    Graphic LONGBLOB NULL,
    PRIMARY KEY (ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

-- Quarterly inspection counts (not merged).
CREATE TABLE quart (
    ID        INT UNSIGNED NOT NULL AUTO_INCREMENT,
    `Year`    SMALLINT NOT NULL,
    Quarter   TINYINT NOT NULL,
    DetTypeId INT NULL,
    Checked   INT NULL,
    Rejected  INT NULL,
    PRIMARY KEY (ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

-- Vibration statistics of the devices (not merged).
CREATE TABLE statvib (
    ID       INT UNSIGNED NOT NULL AUTO_INCREMENT,
    Device   INT NULL,
    `Date`   DATE NULL,
    `Time`   TIME NULL,
    Level    DOUBLE NULL,
    PRIMARY KEY (ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;
