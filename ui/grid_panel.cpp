#include "grid_panel.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

#include "state_render.h"

namespace sorvane::gui {

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

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(caption_);
  layout->addWidget(view_, 1);
}

void GridPanel::Render(const GridState& state) {
  const QString caption = Q(state.caption);
  if (caption_->text() != caption) caption_->setText(caption);
  SetShown(caption_, !state.caption.empty());
  model_->SetSource(state.source);
  // Columns are fitted to their contents when another query's fields arrive,
  // not on every repaint, so widths the person set survive a sort.
  std::string fields;
  if (state.source) {
    for (const Field& f : state.source->fields()) fields.append(f.name).push_back('\t');
  }
  if (fields != fields_ && model_->rowCount() > 0) {
    fields_ = fields;
    view_->resizeColumnsToContents();
  }
}

void GridPanel::OnSectionClicked(int column) {
  if (head_click_) head_click_(column);
  // The handler sorts the rows in place; whatever it did, show them afresh.
  model_->Reload();
}

}  // namespace sorvane::gui
