// The texts, severities and queries of the 64 checks, in index order per table.
// The queries are in the program's SQL dialect; each is given as the pieces
// that surround the Facility ID.
#include "checks/check_catalogue.h"

namespace sorvane {
namespace {

// clang-format off
// Table 1: 10 checks.
const CheckText kTable1[] = {
    // 1.0
    {0,
     "Checking Lat/Long Values ...",
     "Lat/Long matches site.",
     "MAY be a problem with Lat/Long Values as compared with Site information.",
     "Lat/Long values should be SIMILAR to Site database values.",
     {"SELECT DISTINCT REVIEWED, POINT_ID, LAT_DD, LATDD AS SITE_LATDD, LAT_MM, LATMM AS SITE_LATMM, LAT_SS, LONG_DD, LONGDD AS SITE_LONGDD, LONG_MM, LONGMM AS SITE_LONGMM, LONG_SS FROM MT_TEMP1, T_SITE WHERE MT_TEMP1.SITE = '",
      "' AND MT_TEMP1.SITE = T_SITE.SITE AND (MT_TEMP1.LAT_DD <>T_SITE.LATDD OR MT_TEMP1.LAT_MM NOT BETWEEN (T_SITE.LATMM-2) AND (T_SITE.LATMM+2) OR MT_TEMP1.LONG_DD <>T_SITE.LONGDD OR MT_TEMP1.LONG_MM NOT BETWEEN (T_SITE.LONGMM-2) AND (T_SITE.LONGMM+2)) ORDER BY REVIEWED "}},
    // 1.1
    {0,
     "Checking for Comments for Method Type C ...",
     "No Problems with Comments for Method Type C.",
     "Problem with Comments for Method Type C.",
     "Explanation of method is required for C.",
     {"SELECT DISTINCT REVIEWED, POINT_ID, COL_METHOD, COMMENTS FROM MT_TEMP1 WHERE SITE = '",
      "' AND UCASE(COL_METHOD)='C' AND (COMMENTS = 'NC' OR COMMENTS IS NULL)"}},
    // 1.2
    {0,
     "Checking for incorrect NAVD Values ...",
     "No incorrect NAVD Values.",
     "MAY be a problem with incorrect NAVD Values.",
     "NAVD are generally close to TOC values.",
     {"SELECT REVIEWED, POINT_ID, NAVD FROM MT_TEMP1 WHERE MT_TEMP1.SITE = '",
      "' AND NAVD IS NOT NULL AND ((NAVD-2) > (SELECT MAX(TOC) FROM MT_TEMP2 WHERE SITE='",
      "') OR (NAVD+2) < (SELECT MIN(TOC) FROM MT_TEMP2 WHERE SITE='",
      "')) "}},
    // 1.3
    {1,
     "Checking for missing NAVD Values ...",
     "No missing NAVD Values.",
     "Problem with missing NAVD Values.   ",
     "All points with a physical location should have NAVD values.",
     {"SELECT DISTINCT MT_TEMP1.REVIEWED, MT_TEMP1.POINT_ID, LAT_DD, LAT_MM, LAT_SS, LONG_DD, LONG_MM, LONG_SS, NAVD, MT_TEMP1.COMMENTS FROM MT_TEMP1, MT_TEMP4 WHERE MT_TEMP1.SITE = '",
      "' AND MT_TEMP1.SITE = MT_TEMP4.SITE AND MT_TEMP1.POINT_ID = MT_TEMP4.POINT_ID AND NAVD IS NULL AND ((UCASE(SAM_SOURCE) IN  (SELECT SOURCE_ID FROM MT_SAMPLE_SOURCE WHERE DEPTH_REQ = 'Y') OR (UCASE(MT_TEMP4.MATRIX) ='SOLID')) AND UCASE(SAM_SOURCE) NOT IN ('TRIP', 'EQUIPMENT')) "}},
    // 1.4
    {1,
     "Checking for missing Methods ...",
     "No missing Methods.",
     "Problem with missing Methods.",
     "Method should be A, B, C, or D",
     {"SELECT  REVIEWED, POINT_ID, LAT_DD, LAT_MM, LAT_SS, LONG_DD, LONG_MM, LONG_SS, NAVD, COMMENTS FROM MT_TEMP1 WHERE SITE = '",
      "' AND LAT_DD IS NOT NULL AND (COL_METHOD IS NULL OR UCASE(COL_METHOD) NOT IN ('A','B','C','D'))"}},
    // 1.5
    {1,
     "Checking for missing Lat/Long Values ...",
     "No missing Lat/Long values.",
     "Problem with missing Lat/Long Values.",
     "All points with a physical location should have lat/long values.",
     {"SELECT DISTINCT MT_TEMP1.REVIEWED, MT_TEMP1.POINT_ID, LAT_DD, LAT_MM, LAT_SS, LONG_DD, LONG_MM, LONG_SS, NAVD, MT_TEMP1.COMMENTS FROM MT_TEMP1, MT_TEMP4 WHERE MT_TEMP1.SITE = '",
      "' AND MT_TEMP1.SITE = MT_TEMP4.SITE AND MT_TEMP1.POINT_ID = MT_TEMP4.POINT_ID AND (LAT_DD IS NULL OR LAT_MM IS NULL OR LAT_SS IS NULL OR LONG_DD IS NULL OR LONG_MM IS NULL OR LONG_SS IS NULL) AND ((UCASE(SAM_SOURCE) IN (SELECT SOURCE_ID FROM MT_SAMPLE_SOURCE WHERE XY_REQ='Y') OR UCASE(MT_TEMP4.MATRIX) ='SOLID'))"}},
    // 1.6
    {2,
     "Checking Lat/Long Values ...",
     "Lat/Long Minutes and Seconds OK",
     "Problem with Lat/Long Values. Minutes & Seconds should be between 0 - 59.",
     "Minutes & Seconds should be 0 - 60.",
     {"SELECT REVIEWED, POINT_ID, LAT_MM, LAT_SS, LONG_MM, LONG_SS FROM MT_TEMP1 WHERE SITE = '",
      "' AND ((MT_TEMP1.LAT_MM <0 OR MT_TEMP1.LAT_MM >=60) OR (MT_TEMP1.LAT_SS <0 OR MT_TEMP1.LAT_SS >=60) OR (MT_TEMP1.LONG_MM <0 OR MT_TEMP1.LONG_MM >=60) OR (MT_TEMP1.LONG_SS <0 OR MT_TEMP1.LONG_SS >=60)) "}},
    // 1.7
    {2,
     "Checking for Contract ...",
     "Contract OK.",
     "Problem with Contract.",
     "Contract should be one of 10 contracts with EKRA.",
     {"SELECT REVIEWED, POINT_ID, CONTRACT FROM MT_TEMP1 WHERE SITE = '",
      "' AND (MT_TEMP1.CONTRACT NOT IN (SELECT CONTRACT FROM MT_CONTRACTOR) OR MT_TEMP1.CONTRACT IS NULL)"}},
    // 1.8
    {2,
     "Checking for missing Point IDs ...",
     "No missing Point IDs.",
     "Problem with missing Point IDs.",
     "All records should have a unique Point ID.",
     {"SELECT REVIEWED, POINT_ID, LAT_DD, LAT_MM, LAT_SS, LONG_DD, LONG_MM, LONG_SS, NAVD, COMMENTS FROM MT_TEMP1 WHERE SITE = '",
      "' AND POINT_ID IS NULL "}},
    // 1.9
    {2,
     "Checking for Duplicates ...",
     "No Duplicates.",
     "Problem with Duplicates.",
     "No duplicate POINT_IDs are allowed.",
     {"SELECT POINT_ID, COUNT(*) AS DUPS FROM MT_TEMP1 WHERE SITE = '",
      "' GROUP BY SITE, POINT_ID HAVING COUNT(*)>1"}},
};

// Table 2: 17 checks.
const CheckText kTable2[] = {
    // 2.0
    {0,
     "Checking for Effective Porosity ...",
     "Effective Porosity OK.",
     "Possible Problem with Effective Porosity.",
     "Effective Porosity generally between 10 and 30.",
     {"SELECT REVIEWED, POINT_ID, VALUE AS NE FROM MT_TEMP2A WHERE SITE = '",
      "' AND A_PARAMETER = 'NE' AND (VALUE<10 OR VALUE>30)"}},
    // 2.1
    {0,
     "Checking for Hydraulic Conductivity ...",
     "Hydraulic Conductivity OK.",
     "Possible Problem with Hydraulic Conductivity.",
     "Hydraulic Conductivity generally between 0 and 0.05 feet/second.",
     {"SELECT REVIEWED, POINT_ID, VALUE AS KX FROM MT_TEMP2A WHERE SITE = '",
      "' AND A_PARAMETER = 'KX' AND (VALUE<=0 OR VALUE>0.05)"}},
    // 2.2
    {0,
     "Checking for Transmissivity ...",
     "Transmissivity OK.",
     "Possible Problem with Transmissivity.",
     "Transmissivity generally between 0 and 0.5 square feet/second.",
     {"SELECT REVIEWED, POINT_ID, VALUE AS T FROM MT_TEMP2A WHERE SITE = '",
      "' AND A_PARAMETER = 'T' AND (VALUE<=0 OR VALUE>0.5)"}},
    // 2.3
    {0,
     "Checking for Storativity ...",
     "Storativity OK.",
     "Possible Problem with Storativity.",
     "Storativity generally between .2 and .25.",
     {"SELECT REVIEWED, POINT_ID, VALUE AS S FROM MT_TEMP2A WHERE SITE = '",
      "' AND A_PARAMETER = 'S' AND (VALUE<0.2 OR VALUE>0.25)"}},
    // 2.4
    {0,
     "Checking for Contract ...",
     "Contract OK.",
     "Possible problem with Contract.",
     "ONLY for wells installed under the contract, the contract should be one of 10 contracts with EKRA.",
     {"SELECT REVIEWED, POINT_ID, CONTRACT FROM MT_TEMP2 WHERE SITE = '",
      "' AND CONTRACT IS NOT NULL AND CONTRACT NOT IN (SELECT CONTRACT FROM MT_CONTRACTOR)"}},
    // 2.5
    {0,
     "Checking for missing Well Dimensions ...",
     "No missing Well Dimensions.",
     "May be a problem with missing Well Dimensions.",
     "Well dimensions should be included when known.",
     {"SELECT REVIEWED, POINT_ID, TOC, TOP_SCR, BOT_SCR, BOC, DIA, COMMENTS FROM MT_TEMP2 WHERE SITE = '",
      "' AND (TOP_SCR IS NULL OR BOT_SCR IS NULL OR BOC IS NULL OR DIA IS NULL)"}},
    // 2.6, 2.8 and 2.10: a well without a value is never listed, not even when
    // MT_WELL permits no value at all for the field (this engine's NOT IN over
    // an empty list would be true for a missing value).
    // 2.6
    {1,
     "Checking for Well Materials. ...",
     "No incorrect Well Materials.",
     "Problem with incorrect Well Materials.",
     "Material: pvc or ss.",
     {"SELECT REVIEWED, POINT_ID, MATERIAL, COMMENTS FROM MT_TEMP2 WHERE SITE = '",
      "' AND MATERIAL IS NOT NULL AND UCASE(MATERIAL) NOT IN (SELECT FIELD_VALUE FROM MT_WELL WHERE FIELD_NAME='MATERIAL')"}},
    // 2.7
    {1,
     "Checking Install Dates ...",
     "No missing Well Information for Contractor's wells.",
     "May be a problem with missing well information for contractor's wells.",
     "Wells installed under an EKRA contract should have all required information.",
     {"SELECT REVIEWED, POINT_ID, INSTALL_DATE, TOP_SCR, BOT_SCR, BOC, DIA, MATERIAL, COMMENTS FROM MT_TEMP2 WHERE SITE = '",
      "' AND (INSTALL_DATE IS NULL OR INSTALL_DATE >=NOW() OR TOP_SCR IS NULL OR BOT_SCR IS NULL OR BOC IS NULL OR DIA IS NULL OR MATERIAL IS NULL) AND CONTRACT IN (SELECT CONTRACT FROM MT_CONTRACTOR)"}},
    // 2.8
    {1,
     "Checking for incorrect Well Status Values ...",
     "No incorrect Well Status Values.",
     "Problem with incorrect Well Status Values.",
     "Well Status: active, destroyed, abandoned.",
     {"SELECT REVIEWED, POINT_ID, STATUS, COMMENTS FROM MT_TEMP2 WHERE SITE = '",
      "' AND STATUS IS NOT NULL AND UCASE(STATUS) NOT IN (SELECT FIELD_VALUE FROM MT_WELL WHERE FIELD_NAME='STATUS')"}},
    // 2.9
    {1,
     "Checking for Aquifer Thickness ...",
     "Aquifer Thickness OK.",
     "Possible Problem with Aquifer Thickness.",
     "Aquifer Thickness should generally be >10'.",
     {"SELECT REVIEWED, POINT_ID, VALUE AS B FROM MT_TEMP2A WHERE SITE = '",
      "' AND A_PARAMETER = 'B' AND VALUE<10"}},
    // 2.10
    {1,
     "Checking for Aquifers names...",
     "No incorrect Aquifer names.",
     "Problem with Aquifer names.",
     "Aquifers: surficial, intermediate, floridan, biscayne, sand and gravel.",
     {"SELECT REVIEWED, POINT_ID, AQUIFER, COMMENTS FROM MT_TEMP2 WHERE SITE = '",
      "' AND AQUIFER IS NOT NULL AND UCASE(AQUIFER) NOT IN (SELECT FIELD_VALUE FROM MT_WELL WHERE FIELD_NAME='AQUIFER')"}},
    // 2.11
    {1,
     "Checking for missing Aquifer names ...",
     "No missing Aquifer names.",
     "Missing Aquifer name(s).",
     "Aquifer name should be included if BOC is known.",
     {"SELECT POINT_ID, AQUIFER, COMMENTS FROM MT_TEMP2 WHERE SITE = '",
      "' AND AQUIFER IS NULL AND BOC IS NOT NULL"}},
    // 2.12
    {1,
     "Checking for Well Diameter Values ...",
     "No Well Diameter Problems.",
     "MAY be a problem with Well Diameters.",
     "Well diameters generally between 0.5 and 8 inches.",
     {"SELECT REVIEWED, POINT_ID, DIA, TOC, TOP_SCR, BOT_SCR, BOC, COMMENTS FROM MT_TEMP2 WHERE SITE = '",
      "' AND (DIA < 0.5 OR DIA >8 )"}},
    // 2.13
    {1,
     "Checking TOC Values ...",
     "No missing TOC values.",
     "TOC values are missing.",
     "TOC should be included for all wells.",
     {"SELECT REVIEWED, POINT_ID, TOC, TOP_SCR, BOT_SCR, BOC, COMMENTS FROM MT_TEMP2 WHERE SITE = '",
      "' AND TOC IS NULL "}},
    // 2.14
    {2,
     "Checking for Well Dimension problems ...",
     "No Well Dimension problems.",
     "Problem with Inaccurate Well Dimensions.",
     "TopScr < BotScr <= BOC.",
     {"SELECT REVIEWED, POINT_ID, TOC, TOP_SCR, BOT_SCR, BOC, COMMENTS FROM MT_TEMP2 WHERE SITE = '",
      "' AND (TOP_SCR >= BOT_SCR OR TOP_SCR>=BOC OR BOT_SCR>BOC  OR TOP_SCR<0)"}},
    // 2.15
    {2,
     "Checking for Integrity ...",
     "No Integrity Problems with table 1.",
     "Integrity Problems - Point IDs in table 2, are not in table 1.",
     "All Point IDs in Table 2 must also be in Table 1.",
     {"SELECT MT_TEMP2.SITE, MT_TEMP2.POINT_ID FROM MT_TEMP2 LEFT JOIN MT_TEMP1 ON (MT_TEMP2.SITE = MT_TEMP1.SITE) AND (MT_TEMP2.POINT_ID = MT_TEMP1.POINT_ID) WHERE MT_TEMP2.SITE = '",
      "' AND MT_TEMP1.SITE IS NULL"}},
    // 2.16
    {2,
     "Checking for Duplicates ...",
     "No Duplicates.",
     "Problem with Duplicates.",
     "No duplicate POINT_IDs are allowed.",
     {"SELECT POINT_ID, COUNT(*) AS DUPS FROM MT_TEMP2 WHERE MT_TEMP2.SITE = '",
      "' GROUP BY SITE, POINT_ID HAVING COUNT(*)>1"}},
};

// Table 3: 7 checks.
const CheckText kTable3[] = {
    // 3.0
    {2,
     "Checking for Missing Water Level Values ...",
     "No missing Water Level Values.",
     "Missing Water Level Values.",
     "Checks for missing.",
     {"SELECT POINT_ID, WL_DATE, WL, COMMENTS FROM MT_TEMP3 WHERE SITE = '",
      "' AND WL IS NULL "}},
    // 3.1
    {2,
     "Checking Water Level Dates ...",
     "No Problems with Water Level Dates.",
     "Problems with Water Level Dates.",
     "Water Level dates must be after the well installation and before today's date.",
     {"SELECT MT_TEMP3.REVIEWED, MT_TEMP3.POINT_ID, MT_TEMP2.INSTALL_DATE, MT_TEMP3.WL_DATE, MT_TEMP2.COMMENTS  FROM MT_TEMP2, MT_TEMP3 WHERE MT_TEMP3.SITE = '",
      "' AND MT_TEMP2.SITE = MT_TEMP3.SITE AND MT_TEMP2.POINT_ID = MT_TEMP3.POINT_ID AND (WL_DATE >=NOW() OR WL_DATE< MT_TEMP2.INSTALL_DATE)"}},
    // 3.2
    {2,
     "Checking for Water Level Range ...",
     "No problems with Water Level Range.",
     "Problems with Water Level Range.",
     "Water Level must be between the TOC and BOC of the well.",
     {"SELECT MT_TEMP3.REVIEWED, MT_TEMP3.POINT_ID, WL_DATE, WL, TOC, FORMAT (TOC - BOC,'####0.#') AS BOC , MT_TEMP3.COMMENTS FROM MT_TEMP2,MT_TEMP3 WHERE MT_TEMP3.SITE = '",
      "' AND MT_TEMP2.SITE = MT_TEMP3.SITE AND MT_TEMP2.POINT_ID = MT_TEMP3.POINT_ID AND (WL>TOC OR WL< (TOC-BOC))"}},
    // 3.3
    {2,
     "Checking for Contract ...",
     "Contract OK.",
     "Problem with Contract.",
     "Contract for contractor which collected data.  It should be in the list of ten.",
     {"SELECT REVIEWED,POINT_ID, CONTRACT FROM MT_TEMP3 WHERE SITE = '",
      "' AND (CONTRACT IS NULL OR CONTRACT NOT IN (SELECT CONTRACT FROM MT_CONTRACTOR))"}},
    // 3.4
    {2,
     "Checking for Integrity - Table 1 ...",
     "No Integrity Problems with Table 1.",
     "Integrity Problems - PointIDs in table 3 are not in table 1.",
     "All Point IDs in Table 3 must also be in Table 1.",
     {"SELECT DISTINCT MT_TEMP3.POINT_ID FROM MT_TEMP3 LEFT JOIN MT_TEMP1 ON (MT_TEMP3.SITE = MT_TEMP1.SITE) AND (MT_TEMP3.POINT_ID = MT_TEMP1.POINT_ID) WHERE MT_TEMP3.SITE = '",
      "' AND MT_TEMP1.SITE IS NULL"}},
    // 3.5
    {2,
     "Checking for Integrity - Table 2 ...",
     "No Integrity Problems with Table 2.",
     "Integrity Problems - PointIDs in table 3 are not in table 2.",
     "All Well Point IDs in Table 3 must also be in Table 2.",
     {"SELECT DISTINCT qry_3_5.POINT_ID FROM MT_SAMPLE_SOURCE INNER JOIN (MT_TEMP4 INNER JOIN qry_3_5 ON (MT_TEMP4.POINT_ID = qry_3_5.POINT_ID) AND (MT_TEMP4.SITE = qry_3_5.SITE)) ON MT_SAMPLE_SOURCE.SOURCE_ID = MT_TEMP4.SAM_SOURCE WHERE qry_3_5.SITE = '",
      "' AND MT_SAMPLE_SOURCE.SOURCE_TYPE LIKE 'WELL%'"}},
    // 3.6
    {2,
     "Checking for Duplicates ...",
     "No Duplicates.",
     "Problem with Duplicates.",
     "Cannot have two different water levels collected on the same day.",
     {"SELECT POINT_ID, WL_DATE, COUNT(*) AS DUPS FROM MT_TEMP3 WHERE SITE = '",
      "' GROUP BY SITE, POINT_ID, WL_DATE HAVING COUNT(*)>1"}},
};

// Table 4: 16 checks.
const CheckText kTable4[] = {
    // 4.0
    {0,
     "Checking pH values ...",
     "pH values OK.",
     "Possible Problem with pH.",
     "pH values are generally, not always, between 4 and 9.",
     {"SELECT REVIEWED, POINT_ID, SAM_ID, VALUE AS pH FROM MT_TEMP4A WHERE SITE = '",
      "' AND UCASE(FIELDTEST)='PH' AND (VALUE<4 OR VALUE >9)"}},
    // 4.1
    {0,
     "Checking Temperature values ...",
     "Temperature values OK.",
     "Possible Problem with Temperature Values.",
     "Temperatures values are generally, not always, between 15 and 30 celsius.",
     {"SELECT REVIEWED, POINT_ID, SAM_ID, VALUE AS CELSIUS, INT(((9/5)*VALUE+32)) AS FAHRENHEIT  FROM MT_TEMP4A WHERE SITE = '",
      "' AND UCASE(FIELDTEST) LIKE 'TEMP%'AND (VALUE<15 OR VALUE >30)"}},
    // 4.2
    {0,
     "Checking D.O. values ...",
     "D.O. values OK.",
     "Possible Problem with D.O.",
     "D.O. should generally be less than 10.",
     {"SELECT REVIEWED, POINT_ID, SAM_ID, VALUE AS DO FROM MT_TEMP4A WHERE SITE = '",
      "' AND UCASE(FIELDTEST)='DO' AND (VALUE >10 OR VALUE<0)"}},
    // 4.3
    {0,
     "Checking Turbidity ...",
     "Turbidity OK.",
     "Possible Problem with Turbidity.",
     "Turbidity should be between 0 and 300 for Wells.",
     {"SELECT DISTINCT MT_TEMP4A.REVIEWED, MT_TEMP4A.POINT_ID, MT_TEMP4A.SAM_ID, VALUE AS TURB FROM MT_TEMP4A, MT_TEMP4 WHERE MT_TEMP4A.SITE = '",
      "' AND MT_TEMP4A.SITE = MT_TEMP4.SITE AND MT_TEMP4A.POINT_ID = MT_TEMP4.POINT_ID AND MT_TEMP4A.SAM_ID = MT_TEMP4.SAM_ID AND UCASE(FIELDTEST)='TURB' AND (((VALUE >300 OR VALUE <0) AND MT_TEMP4.SAM_SOURCE IN (SELECT SOURCE_ID FROM MT_SAMPLE_SOURCE WHERE UCASE(SOURCE_TYPE) = 'WELL - GOOD' )) OR ((VALUE IS NOT NULL) AND UCASE(MT_TEMP4.MATRIX) = 'SOLID')) "}},
    // 4.4: a sample without a source is the missing-source check's (4.10), not an
    // unknown source.
    {1,
     "Checking for unknown sample sources ...",
     "No Unknown Sample sources.",
     "Samples with Unknown sample sources - Notify EKRA if you have a new source or correct it.",
     "Most sample sources are identified in the list.  New sources will be added as required.",
     {"SELECT MT_TEMP4.REVIEWED, MT_TEMP4.POINT_ID, SAM_ID, SAM_DATE, MATRIX, SAM_SOURCE, MT_TEMP4.COMMENTS FROM MT_TEMP4 LEFT JOIN MT_SAMPLE_SOURCE ON (UCASE(MT_TEMP4.SAM_SOURCE)=MT_SAMPLE_SOURCE.SOURCE_ID) WHERE MT_TEMP4.SITE = '",
      "' AND MT_TEMP4.SAM_SOURCE IS NOT NULL AND MT_SAMPLE_SOURCE.SOURCE_ID IS NULL"}},
    // 4.5
    {1,
     "Checking for Missing Depths ...",
     "No Missing Depths.",
     "Missing Depths.",
     "All samples with a physical location should have a depth value.",
     {"SELECT REVIEWED, POINT_ID, SAM_ID, SAM_DATE, MATRIX, SAM_SOURCE, DEPTH_BLS, COMMENTS FROM MT_TEMP4 WHERE SITE = '",
      "' AND DEPTH_BLS IS NULL AND (UCASE(SAM_SOURCE) IN (SELECT SOURCE_ID FROM MT_SAMPLE_SOURCE WHERE DEPTH_REQ='Y') OR (UCASE(MATRIX)='SOLID' AND UCASE(SAM_SOURCE) NOT IN ('TRIP', 'EQUIPMENT')))"}},
    // 4.6
    {1,
     "Checking for Sample Source/MW Install Date Conflicts ...",
     "No Sample Source/MW Install Date Conflicts (Non MW Sam_source).",
     "Sample Source/MW Install Date Conflicts (Non MW Sam_source).",
     "All non-MW samples should be collected on or before the Install Date.",
     {"SELECT MT_TEMP4.REVIEWED, MT_TEMP4.POINT_ID, MT_TEMP4.SAM_ID, MT_TEMP2.INSTALL_DATE, MT_TEMP4.SAM_DATE, MT_TEMP4.SAM_SOURCE, MT_TEMP4.COMMENTS FROM MT_TEMP4, MT_TEMP2, MT_SAMPLE_SOURCE  WHERE MT_TEMP4.SITE = '",
      "' AND MT_TEMP4.POINT_ID=MT_TEMP2.POINT_ID AND UCASE(SAM_SOURCE) = MT_SAMPLE_SOURCE.SOURCE_ID AND MT_SAMPLE_SOURCE.SOURCE_TYPE NOT LIKE 'WELL%' AND (MT_TEMP2.INSTALL_DATE<MT_TEMP4.SAM_DATE OR MT_TEMP2.INSTALL_DATE IS NULL)"}},
    // 4.7
    {1,
     "Checking for Sample Source/MW Install Date Conflicts ...",
     "No Sample Source/MW Install Date Conflicts (MW Sam_source).",
     "Sample Source/MW Install Date Conflicts (MW Sam_source).",
     "All MW samples should be collected on or after the Install Date.",
     {"SELECT MT_TEMP4.REVIEWED, MT_TEMP4.POINT_ID, MT_TEMP4.SAM_ID, MT_TEMP2.INSTALL_DATE, MT_TEMP4.SAM_DATE, MT_TEMP4.SAM_SOURCE, MT_TEMP4.COMMENTS FROM MT_TEMP4, MT_TEMP2, MT_SAMPLE_SOURCE WHERE MT_TEMP4.SITE = '",
      "' AND MT_TEMP4.POINT_ID=MT_TEMP2.POINT_ID AND UCASE(SAM_SOURCE) =MT_SAMPLE_SOURCE.SOURCE_ID AND MT_SAMPLE_SOURCE.SOURCE_TYPE LIKE 'WELL%' AND MT_TEMP2.INSTALL_DATE>MT_TEMP4.SAM_DATE "}},
    // 4.8
    {1,
     "Checking for MW Sample Depths ...",
     "MW Sample Depth OK.",
     "MW Sample Depth Incorrect.",
     "All MW samples should be between Top Screen and Bottom Screen.",
     {"SELECT MT_TEMP4.REVIEWED, MT_TEMP4.POINT_ID, MT_TEMP4.SAM_ID, MT_TEMP4.SAM_DATE, MT_TEMP4.SAM_SOURCE, MT_TEMP4.DEPTH_BLS, MT_TEMP2.TOP_SCR, MT_TEMP2.BOT_SCR, MT_TEMP4.COMMENTS FROM MT_TEMP4, MT_TEMP2, MT_SAMPLE_SOURCE WHERE MT_TEMP4.SITE = '",
      "' AND MT_TEMP4.POINT_ID=MT_TEMP2.POINT_ID AND UCASE(SAM_SOURCE) =MT_SAMPLE_SOURCE.SOURCE_ID AND MT_SAMPLE_SOURCE.SOURCE_TYPE LIKE 'WELL%' AND MT_TEMP4.DEPTH_BLS NOT BETWEEN MT_TEMP2.TOP_SCR AND MT_TEMP2.BOT_SCR "}},
    // 4.9
    {2,
     "Checking for Matrix Values ...",
     "No Matrix Problems.",
     "Matrix Problems.",
     "Matrix should be Liquid, Solid, Gas, or Sediment",
     {"SELECT REVIEWED, POINT_ID, SAM_ID, SAM_DATE, MATRIX, SAM_SOURCE, COMMENTS FROM MT_TEMP4 WHERE SITE = '",
      "' AND (UCASE (MATRIX) NOT IN ('LIQUID', 'SOLID', 'GAS', 'SEDIMENT' ) OR MATRIX IS NULL)"}},
    // 4.10
    {2,
     "Checking for Missing Sample Sources ...",
     "No missing Sample Sources.",
     "Missing Sample Sources.",
     "Each sample must have a source - MW, DP, etc.",
     {"SELECT REVIEWED, POINT_ID, SAM_ID, SAM_DATE, SAM_SOURCE, COMMENTS FROM MT_TEMP4 WHERE SITE = '",
      "' AND SAM_SOURCE IS NULL "}},
    // 4.11
    {2,
     "Checking for Missing Sample Dates ...",
     "No missing or incorrect Sample Dates.",
     "Missing or Incorrect (future) Sample Dates.",
     "Each sample must include the date on which it was collected.",
     {"SELECT REVIEWED, POINT_ID, SAM_ID, SAM_DATE, COMMENTS FROM MT_TEMP4 WHERE SITE = '",
      "' AND (SAM_DATE IS NULL OR SAM_DATE>=NOW()) "}},
    // 4.12
    {2,
     "Checking for Missing Sample IDs ...",
     "No missing Sample IDs.",
     "Missing Sample IDs.",
     "All records must have a SAM_ID.",
     {"SELECT REVIEWED, POINT_ID, SAM_ID, SAM_DATE, COMMENTS FROM MT_TEMP4 WHERE SITE = '",
      "' AND SAM_ID IS NULL "}},
    // 4.13
    {2,
     "Checking for Contract ...",
     "Contract OK.",
     "Problem with Contract.",
     "Contract for contractor which collected data.  It should be in the list of ten.",
     {"SELECT REVIEWED, POINT_ID, SAM_ID, CONTRACT FROM MT_TEMP4 WHERE SITE = '",
      "' AND (CONTRACT IS NULL OR CONTRACT NOT IN (SELECT CONTRACT FROM MT_CONTRACTOR))"}},
    // 4.14
    {2,
     "Checking for Integrity ...",
     "No Integrity Problems with table 1.",
     "Integrity Problems - PointIDs in table 4 are not in table 1.",
     "All Point IDs should be included in Table 1.",
     {"SELECT DISTINCT MT_TEMP4.SITE, MT_TEMP4.POINT_ID FROM MT_TEMP4 LEFT JOIN MT_TEMP1 ON (MT_TEMP4.SITE = MT_TEMP1.SITE) AND (MT_TEMP4.POINT_ID = MT_TEMP1.POINT_ID) WHERE MT_TEMP4.SITE = '",
      "' AND MT_TEMP1.SITE IS NULL"}},
    // 4.15
    {2,
     "Checking for Duplicates ...",
     "No Duplicates.",
     "Problem with Duplicates.",
     "The Fac_ID, Point_ID, and Sam_ID combination should be unique for each entry.",
     {"SELECT POINT_ID, SAM_ID, COUNT(*) AS DUPS FROM MT_TEMP4 WHERE SITE = '",
      "' GROUP BY SITE, POINT_ID, SAM_ID HAVING COUNT(*)>1"}},
};

// Table 5: 14 checks.
const CheckText kTable5[] = {
    // 5.0
    {0,
     "Checking for Laboratories...",
     "No unknown Laboratories.",
     "Unknown Laboratories.",
     "Laboratories should be in EKRA's list.  If not, the lab can be added.",
     {"SELECT DISTINCT REVIEWED, LABORATORY FROM MT_TEMP5 WHERE SITE = '",
      "' AND LAB = 0 AND LABORATORY IS NOT NULL "}},
    // 5.1
    {1,
     "Checking for Units...",
     "No missing Units.",
     "Missing Units.",
     "Most data should have units.",
     {"SELECT REVIEWED, POINT_ID, SAM_ID, CONT_NAME, MDL, UNITS, COMMENTS FROM MT_TEMP5 WHERE SITE = '",
      "' AND UNITS IS NULL ORDER BY REVIEWED "}},
    // 5.2
    {1,
     "Checking for Missing MDLs ...",
     "No missing MDLs.",
     "Missing MDLs.",
     "All data should have a Minimum Detection Limit.",
     {"SELECT REVIEWED, POINT_ID, SAM_ID, CONT_NAME, MDL, COMMENTS FROM MT_TEMP5 WHERE SITE = '",
      "' AND MDL IS NULL ORDER BY REVIEWED "}},
    // 5.3
    {1,
     "Checking for Missing Methods ...",
     "No missing Methods.",
     "Missing Methods.",
     "All data should have a Method.",
     {"SELECT REVIEWED, POINT_ID, SAM_ID, METHOD, CONT_NAME, COMMENTS FROM MT_TEMP5 WHERE SITE = '",
      "' AND (TRIM(METHOD) <= '  ' OR METHOD IS NULL)ORDER BY REVIEWED "}},
    // 5.4: the saved query qry_5_4 carries the facility column SITE.
    {1,
     "Checking for Contaminant Names...",
     "No Unknown Contaminants.",
     "Unknown Contaminants.",
     "In general, there should be no unknown contaminant names. If it is a legitimate name, it can be added to the database.",
     {"SELECT DISTINCT qry_5_4.REVIEWED, qry_5_4.CAS_NUMBER, qry_5_4.CONT_NAME_NOFORMAT, qry_5_4.COMMENTS, qry_5_4.LABORATORY FROM MT_ANALYTE RIGHT JOIN qry_5_4 ON MT_ANALYTE.ANALYTENOFORMAT = qry_5_4.CONT_NAME_NOFORMAT WHERE qry_5_4.SITE = '",
      "' AND [MT_ANALYTE].[ANALYTENOFORMAT] IS NULL "}},
    // 5.5
    {1,
     "Checking for Incorrect CAS Numbers...",
     "No Incorrect CAS Numbers.",
     "Incorrect CAS Numbers.",
     "There should be no incorrect CAS Numbers.",
     {"SELECT DISTINCT MT_TEMP5.REVIEWED, CONT_NAME, CAS_NUMBER, CAS AS SHOULDBE, LABORATORY FROM MT_TEMP5, MT_ANALYTE, MT_TEMP4 WHERE MT_TEMP5.SITE = '",
      "' AND MT_TEMP5.SITE = MT_TEMP4.SITE AND MT_TEMP5.POINT_ID = MT_TEMP4.POINT_ID AND MT_TEMP5.SAM_ID = MT_TEMP4.SAM_ID AND MT_TEMP4.SAM_DATE > #31-AUG-00# AND MT_TEMP5.CONT_NAME_NOFORMAT = MT_ANALYTE.ANALYTENOFORMAT AND MT_TEMP5.CAS_NUMBER<>MT_ANALYTE.CAS AND [MT_ANALYTE].[CAS] not like 'NA%'ORDER BY MT_TEMP5.REVIEWED "}},
    // 5.6
    {1,
     "Checking for Lab Qualifiers...",
     "No missing Lab Qualifiers.",
     "Missing Lab Qualifiers.",
     "All data should have a Lab Qualifier: U, D, J, B.",
     {"SELECT REVIEWED, POINT_ID, SAM_ID, LAB_Q, CONT_NAME, MDL, UNITS, COMMENTS FROM MT_TEMP5 WHERE SITE = '",
      "' AND LAB_Q IS NULL ORDER BY REVIEWED "}},
    // 5.7
    {1,
     "Checking for MDL/concentration conflicts...",
     "No conflicts with MDL and CONC.",
     "MDL is higher than CONC.",
     "MDL should be less than or equal to CONC.",
     {"SELECT REVIEWED, POINT_ID, SAM_ID, CONT_NAME, MDL, CONCENTRATION, LAB_Q, COMMENTS, LABORATORY FROM MT_TEMP5 WHERE SITE = '",
      "' AND MDL>CONCENTRATION AND LAB_Q NOT LIKE '%J%'ORDER BY REVIEWED "}},
    // 5.8
    {1,
     "Checking for MDL/CONC/LAB_Q conflicts...",
     "No conflicts with MDL, CONC, and LAB_Q.",
     "MDL, CONC, and LAB_Q are inconsistent.",
     "MDL = CONC, if LAB_Q = U.",
     {"SELECT REVIEWED, POINT_ID, SAM_ID, CONT_NAME, MDL, CONCENTRATION, LAB_Q, COMMENTS, LABORATORY FROM MT_TEMP5 WHERE SITE = '",
      "' AND MDL<>CONCENTRATION AND LAB_Q='U'ORDER BY REVIEWED "}},
    // 5.9
    {1,
     "Checking for Matrix/Units consistency.",
     "No conflicting units/matrixes.",
     "Units appear to conflict with matrix.",
     "Units should agree with matrix (liquid ug/l ...).",
     {"SELECT MT_TEMP5.REVIEWED, MT_TEMP4.SITE, MT_TEMP4.POINT_ID, MT_TEMP4.SAM_ID, MT_TEMP4.MATRIX, MT_TEMP5.METHOD, MT_TEMP5.UNITS FROM MT_TEMP5 INNER JOIN MT_TEMP4 ON (MT_TEMP5.SITE = MT_TEMP4.SITE) AND (MT_TEMP5.POINT_ID = MT_TEMP4.POINT_ID) AND (MT_TEMP5.SAM_ID = MT_TEMP4.SAM_ID) WHERE (((MT_TEMP4.MATRIX)='GAS') AND ((MT_TEMP5.UNITS)<>'mg/m3') AND ((MT_TEMP5.UNITS)<>'ug/m3')) Union SELECT MT_TEMP5.REVIEWED, MT_TEMP4.SITE, MT_TEMP4.POINT_ID, MT_TEMP4.SAM_ID, MT_TEMP4.MATRIX, MT_TEMP5.METHOD, MT_TEMP5.UNITS FROM MT_TEMP5 INNER JOIN MT_TEMP4 ON (MT_TEMP5.SAM_ID = MT_TEMP4.SAM_ID) AND (MT_TEMP5.POINT_ID = MT_TEMP4.POINT_ID) AND (MT_TEMP5.SITE = MT_TEMP4.SITE) WHERE (((MT_TEMP4.MATRIX)='LIQUID') AND ((MT_TEMP5.UNITS) In ('ug/kg','mg/kg','ug/kg-dw','mg/kg-dw','mg/m3')) AND MT_TEMP5.METHOD NOT LIKE '13%') UNION SELECT MT_TEMP5.REVIEWED, MT_TEMP4.SITE, MT_TEMP4.POINT_ID, MT_TEMP4.SAM_ID, MT_TEMP4.MATRIX, MT_TEMP5.METHOD, MT_TEMP5.UNITS FROM MT_TEMP5 INNER JOIN MT_TEMP4 ON (MT_TEMP5.SAM_ID = MT_TEMP4.SAM_ID) AND (MT_TEMP5.POINT_ID = MT_TEMP4.POINT_ID) AND (MT_TEMP5.SITE = MT_TEMP4.SITE) WHERE (((MT_TEMP4.MATRIX)='SOLID') AND ((MT_TEMP5.UNITS) In ('ug/l','mg/l','mg/m3')) AND ((MT_TEMP5.METHOD) Not Like '1312%'))ORDER BY MT_TEMP5.REVIEWED "}},
    // 5.10
    {2,
     "Checking for Laboratories...",
     "No missing Laboratories.",
     "Missing Laboratories.",
     "All records should identify who performed the analysis.",
     {"SELECT REVIEWED, POINT_ID, SAM_ID, CONT_NAME, MDL, UNITS, COMMENTS, LABORATORY FROM MT_TEMP5 WHERE SITE = '",
      "' AND LABORATORY IS NULL ORDER BY MT_TEMP5.REVIEWED "}},
    // 5.11
    {2,
     "Checking for Concentration Values...",
     "No missing Concentration Values.",
     "Missing Concentration Values.",
     "There should be a concentration value for every record.",
     {"SELECT REVIEWED, POINT_ID, SAM_ID, CONT_NAME, MDL, LAB_Q, COMMENTS FROM MT_TEMP5 WHERE SITE = '",
      "' AND CONCENTRATION IS NULL ORDER BY REVIEWED "}},
    // 5.12
    {2,
     "Checking for Integrity ...",
     "No Integrity Problems with table 4.",
     "Integrity Problems - PointID/SamID combinations in table 5 are not in table 4.",
     "Each combination of Point_ID/Sam_ID should be in table 4.",
     {"SELECT DISTINCT MT_TEMP5.REVIEWED, MT_TEMP5.POINT_ID, MT_TEMP5.SAM_ID FROM MT_TEMP5 LEFT JOIN MT_TEMP4 ON (MT_TEMP5.SITE = MT_TEMP4.SITE) AND (MT_TEMP5.POINT_ID = MT_TEMP4.POINT_ID) AND (MT_TEMP5.SAM_ID = MT_TEMP4.SAM_ID) WHERE MT_TEMP5.SITE = '",
      "' AND MT_TEMP4.SITE IS NULL ORDER BY MT_TEMP5.REVIEWED "}},
    // 5.13
    {2,
     "Checking for Duplicates ...",
     "No Duplicates.",
     "Problem with Duplicates (New Data Only).",
     "There should be no duplicate records, especially with different concentration values.",
     {"SELECT DISTINCT POINT_ID, SAM_ID, METHOD, CONT_NAME, LABORATORY, COUNT(*) AS DUPS FROM MT_TEMP5 WHERE SITE = '",
      "' AND REVIEWED ='NEW' GROUP BY POINT_ID, SAM_ID, METHOD, CONT_NAME, LABORATORY HAVING COUNT(*)>1"}},
};
// clang-format on

}  // namespace

std::span<const CheckText> CatalogueTexts(int table) {
  switch (table) {
    case 1:
      return kTable1;
    case 2:
      return kTable2;
    case 3:
      return kTable3;
    case 4:
      return kTable4;
    case 5:
      return kTable5;
    default:
      return {};
  }
}

}  // namespace sorvane
