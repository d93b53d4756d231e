#include "accessfile/access_source.h"

#include <unistd.h>

#include "accessfile/access_file.h"
#include "core/errors.h"

namespace sorvane {
namespace {

class AccessRows : public TableRows {
 public:
  AccessRows(std::unique_ptr<LimitedChild> child, std::vector<SourceColumn> columns)
      : child_(std::move(child)), columns_(std::move(columns)) {}
  const std::vector<SourceColumn>& columns() const override { return columns_; }

  bool Next(std::vector<Value>& row) override {
    if (!child_) return false;
    Frame f = child_->Next();
    if (f.tag == FrameTag::kEnd) {
      child_.reset();
      return false;
    }
    if (f.tag != FrameTag::kRow || !DecodeRow(f.payload, columns_.size(), row)) {
      child_.reset();
      throw Error(3343, "the reader sent a row that does not fit the table's columns");
    }
    return true;
  }

 private:
  std::unique_ptr<LimitedChild> child_;
  std::vector<SourceColumn> columns_;
};

class AccessSource : public TableSource {
 public:
  AccessSource(std::filesystem::path file, const ChildLimits& limits)
      : file_(std::move(file)), limits_(limits) {
    LimitedChild child(limits_, [this](int fd) {
      auto access = AccessFile::Open(file_);
      for (const std::string& name : access->TableNames())
        if (!WriteAll(fd, EncodeFrame(FrameTag::kTableName, name))) return;
      WriteAll(fd, EncodeFrame(FrameTag::kEnd, ""));
    });
    try {
      for (Frame f = child.Next(); f.tag != FrameTag::kEnd; f = child.Next()) {
        if (f.tag != FrameTag::kTableName)
          throw Error(3343, "the reader sent an unexpected message");
        names_.push_back(std::move(f.payload));
      }
    } catch (const Error& e) {
      throw DatabaseOpenError(e.description());
    }
  }

  const std::filesystem::path& file() const override { return file_; }
  std::vector<std::string> TableNames() override { return names_; }

  std::unique_ptr<TableRows> OpenTable(const std::string& name) override {
    auto child = std::make_unique<LimitedChild>(limits_, [this, name](int fd) {
      auto access = AccessFile::Open(file_);
      const bool found = access->ReadTable(
          name,
          [fd](const std::vector<SourceColumn>& columns) {
            if (!WriteAll(fd, EncodeFrame(FrameTag::kColumns, EncodeColumns(columns)))) _exit(1);
          },
          [fd](const std::vector<Value>& row) {
            if (!WriteAll(fd, EncodeFrame(FrameTag::kRow, EncodeRow(row)))) _exit(1);
          });
      WriteAll(fd, EncodeFrame(found ? FrameTag::kEnd : FrameTag::kNoTable, ""));
    });
    Frame f = child->Next();
    if (f.tag == FrameTag::kNoTable) return nullptr;
    std::vector<SourceColumn> columns;
    if (f.tag != FrameTag::kColumns || !DecodeColumns(f.payload, columns))
      throw Error(3343, "the reader sent an unexpected message");
    return std::make_unique<AccessRows>(std::move(child), std::move(columns));
  }

 private:
  std::filesystem::path file_;
  ChildLimits limits_;
  std::vector<std::string> names_;
};

}  // namespace

std::unique_ptr<TableSource> OpenAccessSource(const std::filesystem::path& file,
                                              const ChildLimits& limits) {
  return std::make_unique<AccessSource>(file, limits);
}

}  // namespace sorvane
