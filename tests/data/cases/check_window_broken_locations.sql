-- Sample locations with a duplicated point, an out-of-range minute, a missing
-- elevation and an unknown contract: several table 1 checks fail.
INSERT INTO MT_TEMP1 (SITE, POINT_ID, LAT_DD, LAT_MM, LAT_SS, LONG_DD, LONG_MM, LONG_SS, NAVD, COL_METHOD, COL_DATE, CONTRACT, COMMENTS, REVIEWED) VALUES
  ('1234567', 'MW-2', 27, 50, 31.5, 82, 30, 11.0, NULL, 'GPS', '2001-05-14 00:00:00', 'C1234', '', 'NEW'),
  ('1234567', 'MW-2', 27, 72, 31.5, 82, 30, 11.0, 713.0, 'XX', '2001-05-14 00:00:00', 'C9999', '', 'NEW');
