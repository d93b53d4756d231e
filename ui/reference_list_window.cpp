#include "reference_list_window.h"

#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>

#include "grid_panel.h"
#include "handler_guard.h"
#include "state_render.h"
#include "twips.h"
#include "viewers/frmCMinorTableView.h"

namespace sorvane::gui {

namespace {

// The resize rule speaks of the outer window size, 10545 x 7380 as designed;
// the frame allowance is the main window's.
constexpr int kFrameWidth = 90;
constexpr int kFrameHeight = 660;
constexpr int kClientWidth = 10545 - kFrameWidth;
constexpr int kClientHeight = 7380 - kFrameHeight;
constexpr int kGridLeft = 240;
constexpr int kGridTop = 240;

}  // namespace

ReferenceListWindow::ReferenceListWindow(UiPort& ui, std::function<frmCMinorTableView*()> view,
                                         QWidget* parent)
    : QMainWindow(parent), ui_(ui), view_(std::move(view)) {
  setObjectName("frmCMinorTableView");
  MenuBuilder b(menuBar(), actions_);
  QMenu* table = b.Menu("mnuFileHeader", "&Table");
  b.Item(table, "mnuFileExit", "E&xit",
         [this] { Handle([](frmCMinorTableView& v) { v.mnuFileExit_Click(); }); });
  auto* client = new QWidget(this);
  client->setObjectName("frmCMinorTableViewClient");
  // Controls sit at fixed places; the window may still shrink below them.
  client->setMinimumSize(1, 1);
  UseDesignFont(client);
  setCentralWidget(client);
  grid_ = new GridPanel("DataGrid1", client);
  grid_->SetHeadClick(
      [this](int c) { Handle([c](frmCMinorTableView& v) { v.DataGrid1_HeadClick(c); }); });
  client->installEventFilter(this);
  resize(Px(kClientWidth), Px(kClientHeight) + menuBar()->sizeHint().height());
  Render();
}

void ReferenceListWindow::Handle(const std::function<void(frmCMinorTableView&)>& handler) {
  frmCMinorTableView* view = view_();
  if (view == nullptr || !view->loaded()) return;
  RunHandler(ui_, [&] { handler(*view); });
}

void ReferenceListWindow::RenderGridGeometry() {
  frmCMinorTableView* view = view_();
  const GridState g = view != nullptr ? view->view().DataGrid1 : ReferenceViewState{}.DataGrid1;
  const QRect r(Px(kGridLeft), Px(kGridTop), Px(g.width), Px(g.height));
  if (grid_->geometry() != r) grid_->setGeometry(r);
}

void ReferenceListWindow::Render() {
  frmCMinorTableView* view = view_();
  if (view == nullptr) return;
  const ReferenceViewState& v = view->view();
  const QString caption = Q(v.caption);
  if (windowTitle() != caption) setWindowTitle(caption);
  grid_->Render(v.DataGrid1);
  RenderGridGeometry();
  for (const auto& [name, state] : v.menus.all()) {
    if (auto it = actions_.find(name); it != actions_.end()) RenderAction(it->second, state);
  }
}

void ReferenceListWindow::closeEvent(QCloseEvent* event) {
  Handle([](frmCMinorTableView& v) { v.Form_Unload(); });
  event->accept();
}

void ReferenceListWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
    Handle([](frmCMinorTableView& v) { v.Form_Activate(); });
  }
  QMainWindow::changeEvent(event);
}

bool ReferenceListWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == centralWidget() && event->type() == QEvent::Resize) {
    const QSize size = static_cast<QResizeEvent*>(event)->size();
    Handle([size](frmCMinorTableView& v) {
      v.Form_Resize(Twips(size.width()) + kFrameWidth, Twips(size.height()) + kFrameHeight);
    });
    RenderGridGeometry();
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace sorvane::gui
