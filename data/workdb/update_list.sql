-- The update database's list of the reference tables that a refresh replaces in
-- the work database. The workbook structures are the program's own and are not
-- refreshed.
CREATE TABLE UPDATE_LIST (
  TABLE_NAME TEXT COLLATE NOCASE
);
INSERT INTO UPDATE_LIST (TABLE_NAME) VALUES
  ('MT_LAB'),
  ('MT_ANALYTE'),
  ('MT_SAMPLE_SOURCE'),
  ('MT_CONTRACTOR'),
  ('MT_WELL'),
  ('T_SITE');
