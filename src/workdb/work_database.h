// Building a work database and an update database from the files that ship with
// the program (schema, views, indexes, the agency's reference data).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "workdb/connection.h"

namespace sorvane {

// Creates the tables, views and indexes and loads the reference data into an
// empty database.
void InstallWorkDatabase(Connection& conn);
// Creates an update database: the reference tables with their rows and an
// UPDATE_LIST naming them. It carries kOwnUpdateDatabaseId.
void InstallUpdateDatabase(Connection& conn);
// The application id (a number in the file's header) of the update database
// the program builds from its own lists, so that a refresh can tell it from
// one the agency sent.
inline constexpr int32_t kOwnUpdateDatabaseId = 0x53765550;
// A work database made with smaller pages (by an earlier version) is rebuilt
// with the pages InstallWorkDatabase gives, once, while what it holds is small
// (its temporary tables emptied, as every run leaves them): schema and rows
// stay as they are. Where it cannot be rebuilt now (no room for the copy, a
// file it may only read), it stays as it is, and works as well.
void UseWorkDatabasePages(Connection& conn);

// The seven temporary tables, in the order they are emptied.
inline constexpr const char* kTempTables[] = {"MT_TEMP1", "MT_TEMP2",  "MT_TEMP3", "MT_TEMP4",
                                              "MT_TEMP5", "MT_TEMP2A", "MT_TEMP4A"};
// The temporary tables the database lacks (dropped by another program), in
// that order.
std::vector<std::string> MissingTempTables(Connection& conn);
// The reference tables.
inline constexpr const char* kReferenceTables[] = {
    "T_SITE", "MT_VBSTRUCTURE", "MT_SAMPLE_SOURCE", "MT_ANALYTE",
    "MT_LAB", "MT_CONTRACTOR",  "MT_WELL"};

}  // namespace sorvane
