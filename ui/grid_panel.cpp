#include "grid_panel.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>
#include <vector>

#include "state_render.h"
#include "viewers/find_cell.h"

namespace sorvane::gui {

namespace {

QString CellText(QString text) {
  if (!text.contains(QLatin1Char('\t')) && !text.contains(QLatin1Char('\n')) &&
      !text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('"')))
    return text;
  text.replace(QLatin1String("\""), QLatin1String("\"\""));
  return QLatin1Char('"') + text + QLatin1Char('"');
}

}  // namespace

GridPanel::GridPanel(const QString& grid_name, QWidget* parent)
    : QWidget(parent),
      caption_(new QLabel(this)),
      view_(new QTableView(this)),
      model_(new RecordSetModel(this)) {
  setObjectName(grid_name + "Panel");
  caption_->setObjectName(grid_name + "Caption");
  caption_->setAlignment(Qt::AlignCenter);
  caption_->setAutoFillBackground(true);
  caption_->setBackgroundRole(QPalette::Button);
  caption_->setFrameShape(QFrame::Panel);
  caption_->hide();
  view_->setObjectName(grid_name);
  view_->setModel(model_);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setSortingEnabled(false);
  view_->setWordWrap(false);
  view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 4);
  view_->horizontalHeader()->setSectionsClickable(true);
  view_->horizontalHeader()->setHighlightSections(false);
  // A long comment column must not push the others out of sight.
  view_->horizontalHeader()->setMaximumSectionSize(220);
  connect(view_->horizontalHeader(), &QHeaderView::sectionClicked, this,
          &GridPanel::OnSectionClicked);
  auto* copy = new QAction("&Copy", view_);
  copy->setObjectName(grid_name + "Copy");
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetShortcut);
  connect(copy, &QAction::triggered, this, [this] {
    // A million rows take seconds to put together.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    // An empty grid leaves what the clipboard held.
    if (std::unique_ptr<QMimeData> rows = SelectedRows())
      QGuiApplication::clipboard()->setMimeData(rows.release());
    QGuiApplication::restoreOverrideCursor();
  });
  auto* select_all = new QAction("Select &All", view_);
  select_all->setObjectName(grid_name + "SelectAll");
  select_all->setShortcut(QKeySequence::SelectAll);
  select_all->setShortcutContext(Qt::WidgetShortcut);
  connect(select_all, &QAction::triggered, view_, &QTableView::selectAll);
  auto* find = new QAction("&Find...", view_);
  find->setObjectName(grid_name + "FindAction");
  find->setShortcut(QKeySequence::Find);
  find->setShortcutContext(Qt::WidgetShortcut);
  connect(find, &QAction::triggered, this, &GridPanel::ShowFind);
  view_->addActions({copy, select_all, find});
  view_->setContextMenuPolicy(Qt::ActionsContextMenu);

  find_bar_ = new QWidget(this);
  find_ = new QLineEdit(find_bar_);
  find_->setObjectName(grid_name + "Find");
  find_->setPlaceholderText(
      "Find: Enter for the next, Shift+Enter for the one before, Esc to close");
  find_->setClearButtonEnabled(true);
  find_->installEventFilter(this);
  find_status_ = new QLabel(find_bar_);
  find_status_->setObjectName(grid_name + "FindStatus");
  connect(find_, &QLineEdit::textEdited, this, [this] { Find(false, true); });
  auto* bar = new QHBoxLayout(find_bar_);
  bar->setContentsMargins(0, 2, 0, 0);
  bar->addWidget(find_, 1);
  bar->addWidget(find_status_);
  find_bar_->hide();

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(caption_);
  layout->addWidget(view_, 1);
  layout->addWidget(find_bar_);
}

void GridPanel::ShowFind() {
  find_bar_->show();
  find_->setFocus();
  find_->selectAll();
}

void GridPanel::Find(bool backward, bool from_current) {
  const std::shared_ptr<RecordSet>& rows = model_->source();
  const QModelIndex current = view_->currentIndex();
  const CellAt from = current.isValid()
                          ? CellAt{current.row(), static_cast<size_t>(current.column())}
                          : CellAt{-1, 0};
  std::optional<CellAt> found;
  if (rows && !find_->text().isEmpty()) {
    // A million rows may take a second to search when the text is nowhere.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    found = FindCell(*rows, find_->text().toStdString(), from, backward, from_current);
    QGuiApplication::restoreOverrideCursor();
  }
  find_status_->setText(found || find_->text().isEmpty() ? QString() : QString("Not found"));
  if (!found || found->row >= model_->rowCount()) return;
  const QModelIndex at =
      model_->index(static_cast<int>(found->row), static_cast<int>(found->column));
  view_->setCurrentIndex(at);
  view_->scrollTo(at);
}

bool GridPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == find_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      Find(key->modifiers() & Qt::ShiftModifier, false);
      return true;
    }
    if (key->key() == Qt::Key_Escape) {
      find_bar_->hide();
      view_->setFocus();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void GridPanel::Render(const GridState& state) {
  const QString caption = Q(state.caption);
  if (caption_->text() != caption) caption_->setText(caption);
  SetShown(caption_, !state.caption.empty());
  // Columns are fitted to their contents when other rows arrive (another
  // query's, or the same query's run again), not on every repaint, so widths
  // the person set survive a sort. New rows reset the view, and with it every
  // width: those of sorted rows are put back.
  std::string fields;
  if (state.source) {
    for (const Field& f : state.source->fields()) fields.append(f.name).push_back('\t');
  }
  QHeaderView* header = view_->horizontalHeader();
  std::vector<int> widths;
  for (int c = 0; c < header->count(); ++c) widths.push_back(header->sectionSize(c));
  const bool other_rows = state.source != model_->source();
  model_->SetSource(state.source);
  if (model_->rowCount() == 0) return;
  if (fields != fields_ || (other_rows && state.source->SortField().empty())) {
    fields_ = fields;
    view_->resizeColumnsToContents();
  } else if (static_cast<int>(widths.size()) == header->count()) {
    for (int c = 0; c < header->count(); ++c) {
      if (header->sectionSize(c) != widths[c]) header->resizeSection(c, widths[c]);
    }
  }
}

std::unique_ptr<QMimeData> GridPanel::SelectedRows() const {
  // As many rows as a mail holds as a table; a larger selection goes as text.
  constexpr size_t kHtmlRows = 10000;
  std::vector<int> rows;
  for (const QModelIndex& i : view_->selectionModel()->selectedRows()) rows.push_back(i.row());
  if (rows.empty() && view_->currentIndex().isValid()) rows.push_back(view_->currentIndex().row());
  if (rows.empty()) return nullptr;
  std::sort(rows.begin(), rows.end());
  const bool html = rows.size() <= kHtmlRows;
  const int columns = model_->columnCount();
  QString text, table;
  auto line = [&](auto cell, const char* tag) {
    if (html) table += QLatin1String("<tr>");
    for (int c = 0; c < columns; ++c) {
      const QString value = cell(c);
      if (c > 0) text += QLatin1Char('\t');
      text += CellText(value);
      if (html) table += QString("<%1>%2</%1>").arg(QLatin1String(tag), value.toHtmlEscaped());
    }
    text += QLatin1Char('\n');
    if (html) table += QLatin1String("</tr>\n");
  };
  line([&](int c) { return model_->headerData(c, Qt::Horizontal).toString(); }, "th");
  for (int r : rows) line([&](int c) { return model_->index(r, c).data().toString(); }, "td");
  auto data = std::make_unique<QMimeData>();
  data->setText(text);
  if (html) data->setHtml(QLatin1String("<table>\n") + table + QLatin1String("</table>\n"));
  return data;
}

void GridPanel::OnSectionClicked(int column) {
  if (head_click_) head_click_(column);
  // The handler sorts the rows in place; whatever it did, show them afresh.
  model_->Reload();
}

}  // namespace sorvane::gui
