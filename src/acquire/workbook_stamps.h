// What a facility's workbooks in a folder are known by between two looks (each
// file's size and time of writing: a save changes one or the other), and how
// two looks differ in words. The command line's watched review and the main
// window's question before checks of workbooks saved since their import use it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

namespace sorvane {

struct FileStamp {
  std::uintmax_t size = 0;
  std::filesystem::file_time_type written;
  bool operator==(const FileStamp&) const = default;
};
using FileStamps = std::map<std::string, FileStamp>;  // by file name

// The files of `folder` whose name holds `facility_id`, as an import takes
// them: hidden ones (an office program's owner file, a copy being written)
// left out. A folder that cannot be read has none.
FileStamps StampFacilityFiles(const std::filesystem::path& folder, const std::string& facility_id);

// "1234567_5.xls changed", "1234567_2.xls and 1234567_5.xls changed,
// 1234567_6.xls added, 1234567_1.xls removed"; "" when nothing changed.
std::string DescribeFileChanges(const FileStamps& was, const FileStamps& now);

}  // namespace sorvane
