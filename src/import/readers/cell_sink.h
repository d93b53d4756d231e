// Where one walk over the cell records of a binary sheet (.xls, .xlsb) puts
// them: positions only (the scan that finds the used range), text slots (the
// delivery of rows), or both (one pass on a range the sheet declares).
#pragma once

#include <cstdint>
#include <string>

#include "import/readers/used_range.h"

namespace sorvane::readers {

class CellSink {
 public:
  virtual ~CellSink() = default;
  // The slot for the cell's text, or null when only its position is wanted.
  virtual std::string* Cell(int64_t row, int32_t col) = 0;
  virtual bool stopped() const { return false; }
  // The cell last given a slot holds `value` (a date when `is_date`), shown in
  // style `style`; or a boolean or an error.
  virtual void MarkNumber(double /*value*/, uint64_t /*style*/, bool /*is_date*/) {}
  virtual void MarkKind(RowFormats::Kind /*kind*/) {}
};

class ScanSink : public CellSink {
 public:
  explicit ScanSink(ShapeScanner& scanner) : scanner_(scanner) {}
  std::string* Cell(int64_t row, int32_t col) override {
    scanner_.Add(row, col);
    return nullptr;
  }

 private:
  ShapeScanner& scanner_;
};

class EmitSink : public CellSink {
 public:
  explicit EmitSink(RowEmitter& emitter) : emitter_(emitter) {}
  std::string* Cell(int64_t row, int32_t col) override { return &emitter_.Cell(row, col); }
  bool stopped() const override { return emitter_.stopped(); }
  void MarkNumber(double value, uint64_t style, bool is_date) override {
    emitter_.MarkNumber(value, style, is_date);
  }
  void MarkKind(RowFormats::Kind kind) override { emitter_.MarkKind(kind); }

 private:
  RowEmitter& emitter_;
};

// The one pass on a declared shape: each cell's position for the scanner that
// checks the claim, and its slot in the rows delivered meanwhile.
class ScanAndEmitSink : public EmitSink {
 public:
  ScanAndEmitSink(ShapeScanner& scanner, RowEmitter& emitter)
      : EmitSink(emitter), scanner_(scanner) {}
  std::string* Cell(int64_t row, int32_t col) override {
    scanner_.Add(row, col);
    return EmitSink::Cell(row, col);
  }

 private:
  ShapeScanner& scanner_;
};

}  // namespace sorvane::readers
