// A window's data grid: an optional caption bar above a read-only table view of
// a record set. A click on a column heading goes to the window's handler (which
// sorts the record set) and the view is reloaded afterwards. Ctrl+C (and "Copy"
// on the grid's context menu) puts the selected rows on the clipboard, headings
// first, as text a spreadsheet or a mail pastes as a table.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "record_set_model.h"
#include "state/view_state.h"

class QLabel;
class QLineEdit;
class QMimeData;
class QTableView;

namespace sorvane::gui {

class GridPanel : public QWidget {
  Q_OBJECT

 public:
  // `grid_name` becomes the table view's object name ("DataGrid1"); the caption
  // label is named `grid_name` + "Caption".
  GridPanel(const QString& grid_name, QWidget* parent = nullptr);

  // Source and caption of `state` (visibility is the owner's business, since
  // some grids always show).
  void Render(const GridState& state);
  // Called with the column index when a heading is clicked.
  void SetHeadClick(std::function<void(int)> handler) { head_click_ = std::move(handler); }
  // See RecordSetModel::SetRowTip.
  void SetRowTip(RecordSetModel::RowTip tip) { model_->SetRowTip(std::move(tip)); }
  void SetRowBold(RecordSetModel::RowBold bold) { model_->SetRowBold(std::move(bold)); }

  // The selected rows (or the current one when none is selected) in the order
  // shown, with the headings above them, for the clipboard; nothing when the
  // grid has no rows. As text: cells separated by tabs, rows ended by line
  // feeds, a cell holding a tab, line break or quote quoted as a spreadsheet
  // quotes it. Up to 10,000 rows also as an HTML table, which a mail keeps as
  // a table.
  std::unique_ptr<QMimeData> SelectedRows() const;

  QTableView* view() const { return view_; }
  QLabel* caption() const { return caption_; }
  RecordSetModel* model() const { return model_; }

 private:
  void OnSectionClicked(int column);
  // Ctrl+F: a box below the rows; typing finds the first cell holding the
  // text from the current one on, Enter the next, Shift+Enter the one before,
  // Escape closes it (viewers/find_cell.h).
  void ShowFind();
  void Find(bool backward, bool from_current);
  bool eventFilter(QObject* watched, QEvent* event) override;

  QLabel* caption_;
  QTableView* view_;
  RecordSetModel* model_;
  std::function<void(int)> head_click_;
  std::string fields_;  // field names last fitted, to fit columns once per query
  QWidget* find_bar_;
  QLineEdit* find_;
  QLabel* find_status_;
};

}  // namespace sorvane::gui
