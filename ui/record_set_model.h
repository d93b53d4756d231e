// A read-only table model over a shared record set: one column per field (the
// field name as heading), one row per visible record, each cell the value as a
// person sees it. Windows re-open one record set on new queries in place, so
// `Sync()` compares a cheap fingerprint (rows, fields, sort, first and last
// row) and resets only when it changed; between syncs the model never reads
// past what the source holds, even if the source changed under it.
#pragma once

#include <QAbstractTableModel>
#include <functional>
#include <memory>
#include <string>

#include "core/record_set.h"

namespace sorvane::gui {

class RecordSetModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit RecordSetModel(QObject* parent = nullptr);

  // Shows `source` (nothing when null). Resets when it differs from the last one
  // shown or has changed shape since.
  void SetSource(std::shared_ptr<RecordSet> source);
  // Resets when the source changed shape (rows, fields, sort) since the last sync.
  void Sync();
  // Resets unconditionally (after the rows were reordered in place).
  void Reload();
  const std::shared_ptr<RecordSet>& source() const { return source_; }
  // What a row is about beyond its values (where it stands in a workbook), shown
  // on hovering its number (column -1) and after the value on hovering a cell;
  // "" for none.
  using RowTip = std::function<std::string(int row, int column)>;
  void SetRowTip(RowTip tip) { row_tip_ = std::move(tip); }
  // Rows shown in bold (new since an earlier run); none when not set.
  using RowBold = std::function<bool(int row)>;
  void SetRowBold(RowBold bold) { row_bold_ = std::move(bold); }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  struct Shape {
    const RecordSet* source = nullptr;
    int rows = 0;
    int columns = 0;
    std::string sort_field;
    size_t content = 0;  // hash of the field names and the first and last rows
    bool operator==(const Shape&) const = default;
  };
  Shape CurrentShape() const;

  std::shared_ptr<RecordSet> source_;
  RowTip row_tip_;
  RowBold row_bold_;
  Shape shape_;  // what the views were last told
};

}  // namespace sorvane::gui
