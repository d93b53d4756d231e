-- A piezometer PZ-9 with no well record, two water levels on one day and a
-- well sample ($NAMEs as in tests/data/checks/facility.sql).
INSERT INTO MT_TEMP3 (SITE, POINT_ID, WL_DATE, WL, CONTRACT, REVIEWED) VALUES
  ('$SITE', 'PZ-9', '2004-03-17 00:00:00', 3, '$CONTRACT', 'NEW'),
  ('$SITE', 'PZ-9', '2004-03-17 00:00:00', 4, '$CONTRACT', 'NEW');
INSERT INTO MT_TEMP4 (SITE, POINT_ID, SAM_ID, SAM_DATE, MATRIX, SAM_SOURCE, CONTRACT, REVIEWED) VALUES
  ('$SITE', 'PZ-9', 'PZ-9-1', '2004-03-17 00:00:00', 'LIQUID', '$WELLSRC', '$CONTRACT', 'NEW');
