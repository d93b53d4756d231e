-- The agency's reference tables. The program only reads them; the reference
-- refresh and `init --reference` load the agency's rows into exactly these
-- tables (column kinds, rules, indexes), whatever file the rows come from, so
-- every table's indexes are declared beside it.
--
-- Text columns ignore letter case in comparisons, as the checks expect of the
-- database (a contract "c-01" matches "C-01").

-- The agency's sites. SITE ends with the 7-digit Facility ID: the import finds a
-- facility by that ending, while a location check joins SITE to the temporary
-- tables by equality, so the sites here carry the bare ID.
CREATE TABLE T_SITE (
  SITE TEXT COLLATE NOCASE,
  LATDD REAL,
  LATMM REAL,
  LONGDD REAL,
  LONGMM REAL
);
CREATE INDEX IX_T_SITE_SITE ON T_SITE (SITE COLLATE NOCASE);

-- Expected columns of the five workbooks ("TEMP_1" .. "TEMP_5"), read in
-- FIELD_ORDER. FIELD_TYPE is a record-set type code: 3 whole number, 4 single,
-- 7 date, 200 text of at most FIELD_SIZE characters.
CREATE TABLE MT_VBSTRUCTURE (
  TABLE_NAME TEXT COLLATE NOCASE,
  FIELD_NAME TEXT COLLATE NOCASE,
  FIELD_TYPE INTEGER,
  FIELD_SIZE INTEGER,
  FIELD_ORDER INTEGER
);
CREATE INDEX IX_MT_VBSTRUCTURE_TABLE ON MT_VBSTRUCTURE (TABLE_NAME COLLATE NOCASE, FIELD_ORDER);

-- Kinds of sample source. SOURCE_TYPE values beginning "WELL" mark well samples;
-- "WELL - GOOD" marks the wells whose turbidity is checked. XY_REQ / DEPTH_REQ
-- are "Y" when a sample of the source needs coordinates / a depth.
CREATE TABLE MT_SAMPLE_SOURCE (
  SOURCE_ID TEXT COLLATE NOCASE,
  SOURCE TEXT COLLATE NOCASE,
  SOURCE_TYPE TEXT COLLATE NOCASE,
  XY_REQ TEXT COLLATE NOCASE,
  DEPTH_REQ TEXT COLLATE NOCASE
);
CREATE INDEX IX_MT_SAMPLE_SOURCE_ID ON MT_SAMPLE_SOURCE (SOURCE_ID COLLATE NOCASE);

-- Known contaminants. A CAS beginning "NA" stands for an analyte without a CAS
-- number. ANALYTENOFORMAT is the name without the characters - , blank ) ( & / .
-- + * and in upper case, the form the results' names are reduced to.
CREATE TABLE MT_ANALYTE (
  CAS TEXT COLLATE NOCASE,
  ANALYTE TEXT COLLATE NOCASE,
  ANALYTENOFORMAT TEXT COLLATE NOCASE
);
CREATE INDEX IX_MT_ANALYTE_NOFORMAT ON MT_ANALYTE (ANALYTENOFORMAT COLLATE NOCASE);
CREATE INDEX IX_MT_ANALYTE_CAS ON MT_ANALYTE (CAS COLLATE NOCASE);

-- Known laboratories. LAB is the key copied into the results; 0 is reserved
-- there for "laboratory not in this list", so it is never a key here.
-- NOFORMAT is the name reduced like ANALYTENOFORMAT, then "LABORATORIES" and
-- "LABORATORY" shortened to "LAB" and every "INC" removed.
CREATE TABLE MT_LAB (
  LAB INTEGER NOT NULL CHECK (LAB <> 0),
  ALIAS TEXT COLLATE NOCASE,
  NAME TEXT COLLATE NOCASE,
  NOFORMAT TEXT COLLATE NOCASE
);
CREATE UNIQUE INDEX IX_MT_LAB_LAB ON MT_LAB (LAB);
CREATE INDEX IX_MT_LAB_NOFORMAT ON MT_LAB (NOFORMAT COLLATE NOCASE);

-- The agency's contracts; the contract columns of the workbooks must name one.
CREATE TABLE MT_CONTRACTOR (
  CONTRACT TEXT COLLATE NOCASE,
  CONTRACTOR TEXT COLLATE NOCASE
);
CREATE INDEX IX_MT_CONTRACTOR_CONTRACT ON MT_CONTRACTOR (CONTRACT COLLATE NOCASE);

-- Permitted upper-case values of the well columns MATERIAL, STATUS and AQUIFER.
CREATE TABLE MT_WELL (
  FIELD_NAME TEXT COLLATE NOCASE,
  FIELD_VALUE TEXT COLLATE NOCASE
);
CREATE INDEX IX_MT_WELL_FIELD ON MT_WELL (FIELD_NAME COLLATE NOCASE, FIELD_VALUE COLLATE NOCASE);
