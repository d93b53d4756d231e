-- The two saved queries that checks read like tables.

-- Points of the water levels that have no well in the well table (same site and
-- point): the candidates for "All Well Point IDs in Table 3 must also be in
-- Table 2." One row per point, however many water levels it has; the check
-- joins these to the samples, so repeating a point would only multiply rows.
CREATE VIEW qry_3_5 AS
SELECT DISTINCT L.SITE AS SITE, L.POINT_ID AS POINT_ID
FROM MT_TEMP3 AS L
WHERE NOT EXISTS (
  SELECT 1 FROM MT_TEMP2 AS W WHERE W.SITE = L.SITE AND W.POINT_ID = L.POINT_ID
);

-- The analytical results with what the unknown-contaminant check shows, and
-- SITE so that the check keeps the rows of the facility under review.
CREATE VIEW qry_5_4 AS
SELECT REVIEWED, CAS_NUMBER, CONT_NAME_NOFORMAT, COMMENTS, LABORATORY, SITE
FROM MT_TEMP5;
