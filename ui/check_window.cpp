#include "check_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QRadioButton>
#include <string>

#include "checks/check_view_state.h"
#include "checks/frmCCheckView.h"
#include "grid_panel.h"
#include "handler_guard.h"
#include "state_render.h"
#include "twips.h"

namespace sorvane::gui {

namespace {

constexpr int kGridTop = 4200;        // below the last row of checks
constexpr int kLabelMaxHeight = 585;  // three lines, short of the next row's label

// Index in a control array name such as "mnuRunChecks(7)"; -1 without one.
int ArrayIndex(const std::string& name) {
  const size_t open = name.find('(');
  if (open == std::string::npos) return -1;
  return std::stoi(name.substr(open + 1));
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// Labels stop a little short of the next column's buttons (or the window's
// edge), so a long text wraps rather than running under a button.
int LabelWidth(int index) {
  constexpr int kGap = 60;
  if (index == kMaxChecks) return 1000;
  const int next_column = (index / 6 + 1) * 6;
  const int right =
      next_column < kMaxChecks ? CheckControlPosition(next_column).button_left : kFormClientWidth;
  return right - CheckControlPosition(index).label_left - kGap;
}

}  // namespace

CheckWindow::CheckWindow(UiPort& ui, std::function<frmCCheckView*()> view, QWidget* parent)
    : QMainWindow(parent), ui_(ui), view_(std::move(view)) {
  setObjectName("frmCCheckView");
  BuildMenus();
  auto* client = new QWidget(this);
  client->setObjectName("frmCCheckViewClient");
  // Controls sit at fixed places; the window may still shrink below them.
  client->setMinimumSize(1, 1);
  UseDesignFont(client);
  setCentralWidget(client);
  BuildControls(client);
  client->installEventFilter(this);
  resize(Px(kFormClientWidth), Px(kFormClientHeight) + menuBar()->sizeHint().height());
  Render();
}

void CheckWindow::Handle(const std::function<void(frmCCheckView&)>& handler) {
  frmCCheckView* view = view_();
  if (view == nullptr || !view->loaded()) return;
  RunHandler(ui_, [&] { handler(*view); });
  // Qt may have toggled a button on its own; the state decides.
  Render();
}

void CheckWindow::BuildMenus() {
  MenuBuilder b(menuBar(), actions_);
  const auto menus = CheckViewMenus();
  std::map<std::string, QMenu*> headers;
  for (const CheckViewMenu& m : menus) {
    const std::string name = m.name;
    const std::string caption = m.caption;
    if (*m.parent == '\0') {
      bool has_items = false;
      for (const CheckViewMenu& item : menus) has_items |= name == item.parent;
      if (has_items) {
        headers[name] = b.Menu(name, Q(caption));
      } else {
        b.BarItem(name, Q(caption));
      }
      continue;
    }
    QMenu* menu = headers.at(m.parent);
    if (caption == "-") {
      b.Separator(menu, name);
      continue;
    }
    const int index = ArrayIndex(name);
    std::function<void(frmCCheckView&)> click;
    if (StartsWith(name, "mnuRunChecks(")) {
      click = [index](frmCCheckView& v) { v.mnuRunChecks_Click(index); };
    } else if (StartsWith(name, "mnuExcelChecks(")) {
      click = [index](frmCCheckView& v) { v.mnuExcelChecks_Click(index); };
    } else if (StartsWith(name, "mnuRef(")) {
      click = [index](frmCCheckView& v) { v.mnuRef_Click(index); };
    } else if (name == "mnuMarkedCopies") {
      click = [](frmCCheckView& v) { v.mnuMarkedCopies_Click(); };
    }
    b.Item(menu, name, Q(caption), [this, click] {
      if (click) Handle(click);
    });
  }
}

void CheckWindow::BuildControls(QWidget* client) {
  for (int i = 0; i < kCheckControls; ++i) {
    const CheckControlPlace p = CheckControlPosition(i);
    auto* button = new QRadioButton(client);
    button->setObjectName(Q(ControlName("optReview", i)));
    // The core keeps the one selection; Qt's grouping would fight it.
    button->setAutoExclusive(false);
    PlaceTwips(button, p.button_left, p.button_top, kCheckButtonWidth, kCheckButtonHeight);
    connect(button, &QRadioButton::clicked, this,
            [this, i] { Handle([i](frmCCheckView& v) { v.optReview_Click(i); }); });
    optReview_[i] = button;

    auto* label = new QLabel(client);
    label->setObjectName(Q(ControlName("lblStatus", i)));
    // Long check texts wrap onto the free lines below rather than being cut.
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    PlaceTwips(label, p.label_left, p.label_top, LabelWidth(i), kCheckLabelHeight);
    label->installEventFilter(this);
    lblStatus_[i] = label;
  }
  grid_ = new GridPanel("DataGrid1", client);
  grid_->SetHeadClick(
      [this](int c) { Handle([c](frmCCheckView& v) { v.DataGrid1_HeadClick(c); }); });
  // Where a problem row stands in its workbook. Not while a handler runs: the
  // places take a query, and a handler waiting in a dialog may be mid-query.
  grid_->SetRowTip([this](int row, int) -> std::string {
    frmCCheckView* view = view_();
    try {
      return view != nullptr && RunningHandlers() == 0 ? view->GridRowPlaces(row) : "";
    } catch (const std::exception&) {
      return "";  // Qt cannot carry an exception; the tip is only a help
    }
  });
  lblChanges_ = new QLabel(client);
  lblChanges_->setObjectName("lblChanges");
  // Rows new since the checks of other workbooks stand out.
  grid_->SetRowBold([this](int row) {
    frmCCheckView* view = view_();
    return view != nullptr && view->GridRowIsNew(row);
  });
  RenderGridGeometry();
}

void CheckWindow::RenderGridGeometry() {
  frmCCheckView* view = view_();
  const GridState g = view != nullptr ? view->view().DataGrid1 : CheckViewState{}.DataGrid1;
  const QRect r(Px(kFormGridLeft), Px(kGridTop), Px(g.width), Px(g.height));
  if (grid_->geometry() != r) grid_->setGeometry(r);
  const QRect below(r.left(), r.bottom() + Px(60), r.width(), lblChanges_->sizeHint().height());
  if (lblChanges_->geometry() != below) lblChanges_->setGeometry(below);
}

void CheckWindow::Render() {
  frmCCheckView* view = view_();
  if (view == nullptr) return;
  const CheckViewState& v = view->view();
  const QString caption = Q(v.caption);
  if (windowTitle() != caption) setWindowTitle(caption);
  for (size_t i = 0; i < optReview_.size(); ++i) {
    RenderOption(optReview_[i], v.optReview[i]);
    RenderLabel(lblStatus_[i], v.lblStatus[i]);
    FitLabelHeight(lblStatus_[i], kLabelMaxHeight);
  }
  grid_->Render(v.DataGrid1);
  SetShown(grid_, v.DataGrid1.visible);
  RenderLabel(lblChanges_, v.lblChanges);
  RenderGridGeometry();
  for (const auto& [name, state] : v.menus.all()) {
    if (auto it = actions_.find(name); it != actions_.end()) RenderAction(it->second, state);
  }
}

int CheckWindow::MousePointer() const {
  frmCCheckView* view = view_();
  return view != nullptr && view->loaded() ? view->view().mouse_pointer : kPointerDefault;
}

void CheckWindow::closeEvent(QCloseEvent* event) {
  Handle([](frmCCheckView& v) { v.Form_Unload(); });
  event->accept();
}

bool CheckWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == centralWidget() && event->type() == QEvent::Resize) {
    const QSize size = static_cast<QResizeEvent*>(event)->size();
    Handle([size](frmCCheckView& v) {
      v.Form_Resize(Twips(size.width()) + kFormFrameWidth, Twips(size.height()) + kFormFrameHeight);
    });
    RenderGridGeometry();
  } else if (event->type() == QEvent::MouseButtonRelease &&
             static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    for (int i = 0; i < kCheckControls; ++i) {
      if (watched == lblStatus_[i]) {
        Handle([i](frmCCheckView& v) { v.lblStatus_Click(i); });
        break;
      }
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace sorvane::gui
