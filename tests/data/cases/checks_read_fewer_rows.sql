-- Results and samples for the checks that read fewer rows ($NAMEs as in
-- tests/data/checks/facility.sql).
--
-- 400 results over 324 keys.
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400)
INSERT INTO MT_TEMP5 (SITE, POINT_ID, SAM_ID, METHOD, CONT_NAME, LABORATORY, REVIEWED, CONT_NAME_NOFORMAT, CAS_NUMBER, UNITS, LAB)
SELECT iif(i % 13 = 0, '$OTHER', '$SITE'), iif(i % 5 = 1, 'mw-', 'MW-') || (i % 4),
  iif(i % 6 = 5, 's-', 'S-') || (i / 4 % 3), '82' || (i / 12 % 3),
  iif(i % 7 = 3, 'BENZENE', 'Benzene') || (i / 36 % 3),
  nullif('Lab ' || (i / 108 % 3), 'Lab 0'), iif(i % 9 = 4, 'PRIOR', 'NEW'),
  iif(i % 3 = 0, lower('$ANALYTE_NOFORMAT'), iif(i % 3 = 1, '$ANALYTE2_NOFORMAT',
    iif(i % 7 = 3, 'UNKNOWN', 'Unknown') || (i / 36 % 3))), iif(i % 4 = 0, '$CAS', '$CAS2'),
  iif(i % 3 = 0, 'mg/kg', iif(i % 5 = 0, 'UG/L', 'ug/l')), iif(i % 4 = 1, 0, 1) FROM n;
-- Samples for a third of the results' keys, liquid and solid, some dated before
-- 2000-09-01, two keys twice in other letter cases, dates and matrices.
WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 3)
INSERT INTO MT_TEMP4 (SITE, POINT_ID, SAM_ID, SAM_DATE, MATRIX, REVIEWED)
SELECT '$SITE', 'MW-' || (i % 4), 'S-' || (i / 4),
  iif(i % 5 = 2, '1999-05-01 00:00:00', '2004-05-01 00:00:00'), iif(i % 2 = 0, 'LIQUID', 'SOLID'),
  'NEW' FROM n;
INSERT INTO MT_TEMP4 (SITE, POINT_ID, SAM_ID, SAM_DATE, MATRIX, REVIEWED) VALUES
  ('$SITE', 'mw-2', 's-0', '2004-01-01 00:00:00', 'SOLID', 'NEW'),
  ('$SITE', 'MW-1', 's-1', '1998-01-01 00:00:00', 'LIQUID', 'NEW');
-- Points whose texts, as the places queries list them, read like their SQL.
INSERT INTO MT_TEMP4 (SITE, POINT_ID, SAM_ID, SAM_DATE, MATRIX, REVIEWED) VALUES
  ('$SITE', 'MW-9'') AND (''1''=''1', 'S-0', '2004-01-01 00:00:00', 'LIQUID', 'NEW'),
  ('$SITE', 'P UNION SELECT ( COLLATE NOCASE IN (', 'S-0', '2004-01-01 00:00:00', 'LIQUID', 'NEW');
INSERT INTO MT_TEMP5 (SITE, POINT_ID, SAM_ID, METHOD, CONT_NAME, REVIEWED, CONT_NAME_NOFORMAT, CAS_NUMBER, UNITS) VALUES
  ('$SITE', 'MW-9'') AND (''1''=''1', 'S-0', '8260', 'Benzene', 'NEW', '$ANALYTE_NOFORMAT', '$CAS2', 'mg/kg'),
  ('$SITE', 'P UNION SELECT ( COLLATE NOCASE IN (', 'S-0', '8260', 'Benzene', 'NEW', '$ANALYTE_NOFORMAT', '$CAS2', 'mg/kg');
