-- Fills the tables of one KVT database (created by kvt_schema.sql, selected with USE)
-- with realistic inspection data, generated on the server.
--
-- Session variables set by the caller (scripts/make-demo-databases.sh):
--   @demo_no             number of this database among the demo sources, 1, 2, 3, ...
--   @demo_defects        rows of defects
--   @demo_graphics       rows of graphics
--   @demo_graphic_bytes  size of one recorded signal in bytes
--   @demo_refs           keys per reference table (zones: 3 to 5 per part type)
--   @demo_overlap_pct    share (percent) of the measurement rows that the next
--                        database holds as well
--
-- Every row is a function of a global row number, and database k covers the
-- numbers from (k - 1) * (100 - overlap)% of its size on, so neighbouring databases
-- share rows. Reference keys are shifted the same way (by a fifth of @demo_refs), and
-- every key ending in 7 has different content in each database from the second on:
-- those records conflict in every reference table. People keep their TabNo but are
-- numbered per database, factories keep their Cod under other IDs.

SET @demo_shift = (@demo_no - 1) * CEILING(@demo_refs / 5);
SET @demo_first = @demo_shift + 1;
SET @demo_last = @demo_shift + @demo_refs;
SET @demo_base_d = (@demo_no - 1) * FLOOR(@demo_defects * (100 - @demo_overlap_pct) / 100);
SET @demo_base_g = (@demo_no - 1) * FLOOR(@demo_graphics * (100 - @demo_overlap_pct) / 100);
-- The reference keys the measurement rows name: keys every database of the first four
-- holds (part types, defect kinds, results and devices are shifted by a fifth per
-- database), so that a row names a record of its own database. People are numbered per
-- database: the same number names another person in each.
SET @demo_ref_base = FLOOR(@demo_refs * 3 / 5);
SET @demo_ref_span = GREATEST(1, @demo_refs - @demo_ref_base);
SET SESSION group_concat_max_len = 67108864;

-- Part types.
INSERT INTO dettypes (ID, Short, Name)
SELECT seq,
       IF(seq <= 10, ELT(seq, 'ОК', 'КЦ', 'БН', 'РБ', 'КБ', 'ПР', 'ТХ', 'АС', 'ПА', 'ТР'),
          CONCAT('Д', seq)),
       CONCAT(IF(seq <= 10,
                 ELT(seq, 'Ось колёсная РУ1Ш', 'Колесо цельнокатаное', 'Балка надрессорная',
                     'Рама боковая', 'Корпус буксы', 'Подшипник роликовый', 'Тяговый хомут',
                     'Автосцепка СА-3', 'Поглощающий аппарат', 'Триангель'),
                 CONCAT('Деталь типа ', seq)),
              IF(MOD(seq, 10) = 7 AND @demo_no > 1, CONCAT(' (ред. ', @demo_no, ')'), ''))
FROM seq_1_to_1000000000 WHERE seq BETWEEN @demo_first AND @demo_last;

-- Defect kinds.
INSERT INTO defectref (ID, Short, Name)
SELECT seq,
       IF(seq <= 10, ELT(seq, 'ТП', 'ТД', 'РК', 'ВЛ', 'ЗК', 'ПЛ', 'РС', 'НВ', 'ФЛ', 'КП'),
          CONCAT('ДФ', seq)),
       CONCAT(IF(seq <= 10,
                 ELT(seq, 'Трещина поперечная', 'Трещина продольная', 'Раковина', 'Волосовина',
                     'Закат', 'Плена', 'Расслоение', 'Неметаллическое включение', 'Флокен',
                     'Коррозионное повреждение'),
                 CONCAT('Дефект вида ', seq)),
              IF(MOD(seq, 10) = 7 AND @demo_no > 1, CONCAT(' (ред. ', @demo_no, ')'), ''))
FROM seq_1_to_1000000000 WHERE seq BETWEEN @demo_first AND @demo_last;

-- Inspection results.
INSERT INTO results (ID, Short, Name)
SELECT seq,
       IF(seq <= 5, ELT(seq, 'Г', 'Б', 'ПК', 'Р', 'ЗМ'), CONCAT('Р', seq)),
       CONCAT(IF(seq <= 5,
                 ELT(seq, 'Годна', 'Брак', 'Повторный контроль', 'Направлена в ремонт',
                     'Годна с замечанием'),
                 CONCAT('Заключение № ', seq)),
              IF(MOD(seq, 10) = 7 AND @demo_no > 1, CONCAT(' (ред. ', @demo_no, ')'), ''))
FROM seq_1_to_1000000000 WHERE seq BETWEEN @demo_first AND @demo_last;

-- Flaw detectors.
INSERT INTO device (ID, Name)
SELECT seq,
       CONCAT(ELT(1 + MOD(seq, 6), 'ВД-12НФП', 'УД2-102 «Пеленг»', 'МДЛ-4', 'ВД-41П',
                  'УДС2-РДМ-33', 'ВД-211.5'),
              ' зав. № ', 1000 + seq * 7,
              IF(MOD(seq, 10) = 7 AND @demo_no > 1, CONCAT(', поверка ', 2020 + @demo_no), ''))
FROM seq_1_to_1000000000 WHERE seq BETWEEN @demo_first AND @demo_last;

-- Factories: the same Cod lies under a different ID in every database.
INSERT INTO factory (ID, Cod, Short, Name)
SELECT seq - @demo_shift + 100 * (@demo_no - 1),
       10 + seq * 3,
       IF(seq <= 10, ELT(seq, 'ВМЗ', 'НТМК', 'ОМК', 'АВ', 'УВЗ', 'ТВСЗ', 'РЗХМ', 'БСЗ', 'КСЗ',
                         'ЧМЗ'),
          CONCAT('З', seq)),
       CONCAT(IF(seq <= 10,
                 ELT(seq, 'Выксунский металлургический завод',
                     'Нижнетагильский металлургический комбинат',
                     'Объединённая металлургическая компания', 'Алтайвагон',
                     'Уралвагонзавод', 'Тихвинский вагоностроительный завод',
                     'Рузаевский завод химического машиностроения',
                     'Бежицкий сталелитейный завод', 'Кременчугский сталелитейный завод',
                     'Чебоксарский машиностроительный завод'),
                 CONCAT('Завод № ', seq)),
              IF(MOD(seq, 10) = 7 AND @demo_no > 1, CONCAT(' (филиал ', @demo_no, ')'), ''))
FROM seq_1_to_1000000000 WHERE seq BETWEEN @demo_first AND @demo_last;

-- People: TabNo is the key; the ID is the row number of this database.
INSERT INTO humans (ID, Famname, FstName, SecName, FullName, TabNo)
SELECT p.ID, p.Famname, p.FstName, p.SecName,
       CONCAT(p.Famname, ' ', LEFT(p.FstName, 1), '. ', LEFT(p.SecName, 1), '.'), p.TabNo
FROM (
    SELECT seq - @demo_shift AS ID,
           ELT(1 + MOD(seq, 20), 'Иванов', 'Петров', 'Сидоров', 'Кузнецов', 'Смирнов',
               'Попов', 'Васильев', 'Соколов', 'Михайлов', 'Новиков', 'Фёдоров', 'Морозов',
               'Волков', 'Алексеев', 'Лебедев', 'Семёнов', 'Егоров', 'Павлов', 'Козлов',
               'Степанов') AS Famname,
           ELT(1 + MOD(seq * 7 + IF(MOD(seq, 10) = 7 AND @demo_no > 1, @demo_no, 0), 15),
               'Александр', 'Сергей', 'Андрей', 'Дмитрий', 'Алексей', 'Михаил', 'Николай',
               'Владимир', 'Евгений', 'Игорь', 'Юрий', 'Олег', 'Виктор', 'Павел',
               'Константин') AS FstName,
           ELT(1 + MOD(seq * 11, 12), 'Александрович', 'Сергеевич', 'Иванович', 'Петрович',
               'Николаевич', 'Владимирович', 'Михайлович', 'Викторович', 'Юрьевич',
               'Анатольевич', 'Геннадьевич', 'Васильевич') AS SecName,
           1000 + seq AS TabNo
    FROM seq_1_to_1000000000 WHERE seq BETWEEN @demo_first AND @demo_last
) AS p;

-- Zones of every part type: DetTypeZone = 100 * DetTypeId + ID.
INSERT INTO zones (DetTypeZone, ID, DetTypeId, Name)
SELECT 100 * t.seq + z.seq, z.seq, t.seq,
       CONCAT('Зона ', z.seq, ' — ',
              ELT(z.seq, 'шейка', 'предподступичная часть', 'подступичная часть',
                  'средняя часть', 'галтель'),
              IF(MOD(t.seq, 10) = 7 AND z.seq = 2 AND @demo_no > 1,
                 CONCAT(' (уточн. ', @demo_no, ')'), ''))
FROM seq_1_to_1000000000 AS t
JOIN seq_1_to_5 AS z ON z.seq <= 3 + MOD(t.seq, 3)
WHERE t.seq BETWEEN @demo_first AND @demo_last;

-- Defects found. Some values are NULL (a zone not recorded, an amplitude not measured).
INSERT INTO defects (MyId, `Date`, DefectoscopistID, VagNo, DetTypeId, DetNo, DetParameter,
                     DefectNo, ZavNo, ProdYear, `Time`, ZoneID, Result, DefectID, DefectSize,
                     Amplitude, Printed, CRC32, Device, Errors)
SELECT seq,
       '2025-01-09' + INTERVAL (seq DIV 300) DAY,
       1 + MOD(seq, @demo_refs),
       50000000 + MOD(seq * 7919, 9999999),
       @demo_ref_base + 1 + MOD(seq, LEAST(@demo_ref_span, 10)),
       10000 + MOD(seq * 31, 90000),
       MOD(seq, 4),
       1 + MOD(seq, 3),
       10 + 3 * (1 + MOD(seq, @demo_refs)),
       1990 + MOD(seq, 34),
       SEC_TO_TIME(21600 + MOD(seq * 37, 50400)),
       IF(MOD(seq, 97) = 0, NULL, 1 + MOD(seq, 3)),
       @demo_ref_base + 1 + MOD(seq, LEAST(@demo_ref_span, 3)),
       @demo_ref_base + 1 + MOD(seq, LEAST(@demo_ref_span, 10)),
       0.5 + MOD(seq * 13, 2000) / 100,
       IF(MOD(seq, 89) = 0, NULL, 20 + MOD(seq * 17, 600) / 10),
       MOD(seq, 2),
       CRC32(CONCAT('defect', seq)),
       @demo_ref_base + 1 + MOD(seq, LEAST(@demo_ref_span, 6)),
       IF(MOD(seq, 50) = 0, NULL, 0)
FROM seq_1_to_1000000000
WHERE seq BETWEEN @demo_base_d + 1 AND @demo_base_d + @demo_defects;

-- A record printed twice on the station: same inspection, other copied values.
INSERT INTO defects (MyId, `Date`, DefectoscopistID, VagNo, DetTypeId, DetNo, DetParameter,
                     DefectNo, ZavNo, ProdYear, `Time`, ZoneID, Result, DefectID, DefectSize,
                     Amplitude, Printed, CRC32, Device, Errors)
SELECT MyId, `Date`, DefectoscopistID, VagNo, DetTypeId, DetNo, DetParameter, DefectNo, ZavNo,
       ProdYear, `Time`, ZoneID, Result, DefectID, DefectSize, Amplitude, 1 - Printed, CRC32,
       Device, 1
FROM defects WHERE MOD(MyId, 500) = 0;

-- Signal shapes: decaying echoes of different frequencies, one byte a sample.
CREATE TEMPORARY TABLE demo_shapes (shape INT NOT NULL PRIMARY KEY, sig LONGBLOB NOT NULL);
INSERT INTO demo_shapes (shape, sig)
SELECT s.seq,
       GROUP_CONCAT(CHAR(128 + ROUND(120 * EXP(-i.seq / (GREATEST(@demo_graphic_bytes, 64) / 4))
                                     * SIN(i.seq * (s.seq + 4) / 40)) USING binary)
                    ORDER BY i.seq SEPARATOR '')
FROM seq_0_to_31 AS s
JOIN seq_0_to_1000000000 AS i ON i.seq < GREATEST(@demo_graphic_bytes - 32, 0)
GROUP BY s.seq;

-- Recorded graphics: a 32-byte header unique to the record, then the signal.
INSERT INTO graphics (VagNo, DetNo, ZavNo, ProdYear, `Date`, DefectoscopistID, DetTypeId,
                      `Time`, DataType, FieldType, GradientType, CountType, CRC32, Graphic,
                      Device, Picture, DetParameter, DataId, Synced, Errors)
SELECT 50000000 + MOD(g.seq * 7919, 9999999),
       10000 + MOD(g.seq * 31, 90000),
       10 + 3 * (1 + MOD(g.seq, @demo_refs)),
       1990 + MOD(g.seq, 34),
       '2025-01-09' + INTERVAL (g.seq DIV 30) DAY,
       1 + MOD(g.seq, @demo_refs),
       @demo_ref_base + 1 + MOD(g.seq, LEAST(@demo_ref_span, 10)),
       SEC_TO_TIME(21600 + MOD(g.seq * 41, 50400)),
       MOD(g.seq, 3),
       MOD(g.seq, 2),
       MOD(g.seq, 4),
       1,
       CRC32(CONCAT('graphic', g.seq)),
       IF(@demo_graphic_bytes < 32,
          LEFT(UNHEX(SHA2(CONCAT('graphic', g.seq), 256)), @demo_graphic_bytes),
          CONCAT(UNHEX(SHA2(CONCAT('graphic', g.seq), 256)), sh.sig)),
       @demo_ref_base + 1 + MOD(g.seq, LEAST(@demo_ref_span, 6)),
       IF(MOD(g.seq, 4) = 0, CONCAT('scan_', g.seq, '.png'), NULL),
       MOD(g.seq, 4),
       g.seq,
       MOD(g.seq, 2),
       IF(MOD(g.seq, 40) = 0, NULL, 0)
FROM seq_1_to_1000000000 AS g
JOIN demo_shapes AS sh ON sh.shape = MOD(g.seq, 32)
WHERE g.seq BETWEEN @demo_base_g + 1 AND @demo_base_g + @demo_graphics;

DROP TEMPORARY TABLE demo_shapes;

-- Tables of the station that a merge leaves alone.
INSERT INTO defects_tmp (MyId, `Date`, `Time`, VagNo, DetNo, DefectID)
SELECT MyId, `Date`, `Time`, VagNo, DetNo, DefectID FROM defects ORDER BY ID DESC LIMIT 5;

INSERT INTO graphics_tmp (`Date`, `Time`, DataId, Graphic)
SELECT `Date`, `Time`, DataId, LEFT(Graphic, 256) FROM graphics ORDER BY ID DESC LIMIT 2;

INSERT INTO quart (`Year`, Quarter, DetTypeId, Checked, Rejected)
SELECT 2025, q.seq, t.seq, 200 + MOD(q.seq * t.seq * 37 + @demo_no, 300), MOD(q.seq + t.seq, 7)
FROM seq_1_to_4 AS q JOIN seq_1_to_3 AS t;

INSERT INTO statvib (Device, `Date`, `Time`, Level)
SELECT 1 + MOD(seq, 3), '2025-02-01' + INTERVAL seq DAY, SEC_TO_TIME(28800 + seq * 60),
       0.25 + seq / 100
FROM seq_1_to_20;
