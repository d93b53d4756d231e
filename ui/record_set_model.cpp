#include "record_set_model.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <functional>
#include <limits>
#include <string>

#include "import/data_types.h"

namespace sorvane::gui {

RecordSetModel::RecordSetModel(QObject* parent) : QAbstractTableModel(parent) {}

RecordSetModel::Shape RecordSetModel::CurrentShape() const {
  Shape s;
  if (!source_) return s;
  s.source = source_.get();
  const int64_t rows = source_->RecordCount();
  s.rows = rows > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                  : static_cast<int>(rows);
  s.columns = static_cast<int>(source_->FieldCount());
  s.sort_field = source_->SortField();
  std::string text;
  for (const Field& f : source_->fields()) text.append(f.name).push_back('\t');
  for (int64_t row : {int64_t{0}, rows - 1}) {
    if (row < 0) continue;
    text.push_back('\n');
    for (size_t c = 0; c < source_->FieldCount(); ++c) {
      text.append(source_->At(row, c).ToDisplay()).push_back('\t');
    }
  }
  s.content = std::hash<std::string>{}(text);
  return s;
}

void RecordSetModel::SetSource(std::shared_ptr<RecordSet> source) {
  if (source == source_) {
    Sync();
    return;
  }
  beginResetModel();
  source_ = std::move(source);
  shape_ = CurrentShape();
  endResetModel();
}

void RecordSetModel::Sync() {
  if (CurrentShape() == shape_) return;
  Reload();
}

void RecordSetModel::Reload() {
  beginResetModel();
  shape_ = CurrentShape();
  endResetModel();
}

int RecordSetModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shape_.rows;
}

int RecordSetModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shape_.columns;
}

QVariant RecordSetModel::data(const QModelIndex& index, int role) const {
  if (!source_ || !index.isValid() || index.parent().isValid()) return {};
  const bool colour = role == Qt::BackgroundRole || role == Qt::ForegroundRole;
  if (role == Qt::FontRole) {
    if (!row_bold_ || !row_bold_(index.row())) return {};
    QFont bold;
    bold.setBold(true);
    return bold;
  }
  if (!colour && role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  // The source may have shrunk since the last sync; never read past its end.
  if (index.row() >= source_->RecordCount() ||
      static_cast<size_t>(index.column()) >= source_->FieldCount()) {
    return {};
  }
  const std::string shown =
      source_->At(index.row(), static_cast<size_t>(index.column())).ToDisplay();
  if (role == Qt::ToolTipRole) {
    const std::string tip = row_tip_ ? row_tip_(index.row(), index.column()) : "";
    return QString::fromStdString(tip.empty() ? shown : shown + "\n\n" + tip);
  }
  if (!colour) return QString::fromStdString(shown);
  // A value the data types refused is shown between "**" marks; in a table
  // of thousands of rows it is also shown in colour, to be found by eye.
  if (!IsMarkedBad(shown)) return {};
  return role == Qt::BackgroundRole ? QBrush(QColor(255, 200, 200)) : QBrush(Qt::black);
}

QVariant RecordSetModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role == Qt::ToolTipRole && orientation == Qt::Vertical && row_tip_ && section >= 0 &&
      section < shape_.rows) {
    const std::string tip = row_tip_(section, -1);
    return tip.empty() ? QVariant() : QVariant(QString::fromStdString(tip));
  }
  if (role != Qt::DisplayRole || section < 0) return {};
  if (orientation == Qt::Vertical)
    return section < shape_.rows ? QVariant(section + 1) : QVariant();
  if (!source_ || static_cast<size_t>(section) >= source_->FieldCount()) return {};
  return QString::fromStdString(source_->GetField(static_cast<size_t>(section)).name);
}

Qt::ItemFlags RecordSetModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

}  // namespace sorvane::gui
