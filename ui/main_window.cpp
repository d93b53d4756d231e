#include "main_window.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QUrl>

#include "grid_panel.h"
#include "handler_guard.h"
#include "shell/frmCMain.h"
#include "state_render.h"
#include "twips.h"

namespace sorvane::gui {

namespace {

constexpr int kGridTop = 3600;
constexpr int kStatusTops[5] = {240, 840, 1440, 2040, 2640};
constexpr int kStatusLabelMaxHeight = 555;  // short of the next label

const char* const kCheckCaptions[6] = {"All Tables",
                                       "Table &1 - Sample Location View",
                                       "Table &2 - Well View",
                                       "Table &3 - Water Level View",
                                       "Table &4 - Field Data Table",
                                       "Table &5 - Analytical Data Table"};
const char* const kTabViewCaptions[6] = {"&None",
                                         "Table &1 - Sample Location View",
                                         "Table &2 - Well View",
                                         "Table &3 - Water Level Data View",
                                         "Table &4 - Field Data View",
                                         "Table & 5 - Analytical Data View"};
const char* const kViewRefCaptions[4] = {"Sample Sources", "CAS List", "Laboratories", "Contracts"};

}  // namespace

MainWindow::MainWindow(frmCMain& form, QWidget* parent) : QMainWindow(parent), form_(form) {
  setObjectName("frmCMain");
  BuildMenus();
  auto* client = new QWidget(this);
  client->setObjectName("frmCMainClient");
  // Controls sit at fixed places; the window may still shrink below them.
  client->setMinimumSize(1, 1);
  UseDesignFont(client);
  setCentralWidget(client);
  BuildControls(client);
  client->installEventFilter(this);
  resize(Px(kFormClientWidth), Px(kFormClientHeight) + menuBar()->sizeHint().height());
  // Files dropped anywhere on the window are workbooks to copy, not text for
  // the boxes.
  setAcceptDrops(true);
  txtFacilityID_->setAcceptDrops(false);
  me_ReviewDate_->setAcceptDrops(false);
  Render();
}

namespace {

std::vector<std::filesystem::path> DroppedFiles(const QMimeData* data) {
  std::vector<std::filesystem::path> files;
  if (data == nullptr) return files;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) files.emplace_back(QFile::encodeName(url.toLocalFile()).toStdString());
  }
  return files;
}

}  // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  const auto it = actions_.find("mnuDataLoadFolder");
  if (!DroppedFiles(event->mimeData()).empty() && it != actions_.end() && it->second->isEnabled())
    event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const std::vector<std::filesystem::path> files = DroppedFiles(event->mimeData());
  if (files.empty()) return;
  event->acceptProposedAction();
  // After the drop has ended: the copy may ask or tell something in a dialog,
  // and the program the files came from waits until the drop is over.
  QTimer::singleShot(0, this,
                     [this, files] { Handle([this, files] { form_.DropOnWindow(files); }); });
}

void MainWindow::Handle(const std::function<void()>& handler) {
  if (form_.unloaded()) return;
  RunHandler(form_.state().ui, handler);
  // Qt may have changed a control on its own (a radio button); the state decides.
  if (!form_.unloaded()) Render();
}

void MainWindow::BuildMenus() {
  MenuBuilder b(menuBar(), actions_);
  frmCMain& f = form_;

  QMenu* copy = b.Menu("mnuDataLoad", "Data Copy");
  b.Item(copy, "mnuNewSite", "New Site", [this, &f] { Handle([&f] { f.mnuNewSite_Click(); }); });
  b.Separator(copy);
  b.Item(copy, "mnuDataLoadCD", "CD", [this, &f] { Handle([&f] { f.mnuDataLoadCD_Click(); }); });
  b.Item(copy, "mnuDataLoadFloppy", "Floppy",
         [this, &f] { Handle([&f] { f.mnuDataLoadFloppy_Click(); }); });
  b.Item(copy, "mnuDataLoadFolder", "&Folder...",
         [this, &f] { Handle([&f] { f.mnuDataLoadFolder_Click(); }); });
  b.Item(copy, "mnuDataTemplates", "Empty &Workbooks...",
         [this, &f] { Handle([&f] { f.mnuDataTemplates_Click(); }); });
  b.Item(copy, "mnuDataMended", "&Mended Workbooks...",
         [this, &f] { Handle([&f] { f.mnuDataMended_Click(); }); });
  b.Separator(copy);
  b.Item(copy, "mnuExit", "&Exit", [this, &f] { Handle([&f] { f.mnuExit_Click(); }); });

  QMenu* import = b.Menu("mnuRunAllChecks", "Import Tables");
  for (int i = 0; i <= 5; ++i) {
    const QString caption = i == 0 ? QString("&All Tables") : QString("Table &%1").arg(i);
    b.Item(import, ControlName("mnuRunData", i), caption,
           [this, &f, i] { Handle([&f, i] { f.mnuRunData_Click(i); }); });
  }

  QMenu* checks = b.Menu("mnuCheckTablesHeader", "Data Checks");
  for (int i = 0; i <= 5; ++i) {
    b.Item(checks, ControlName("mnuCheckTables", i), kCheckCaptions[i],
           [this, &f, i] { Handle([&f, i] { f.mnuCheckTables_ClickAskingFirst(i); }); });
  }

  QMenu* views = b.Menu("mnuTabViewHeader", "Table View");
  for (int i = 0; i <= 5; ++i) {
    b.Item(views, ControlName("mnuTabView", i), kTabViewCaptions[i],
           [this, &f, i] { Handle([&f, i] { f.mnuTabView_Click(i); }); });
  }

  b.BarItem("Space1", "");
  b.BarItem("mnuCancelXfer", "Cancel Access Transfer",
            [this, &f] { Handle([&f] { f.mnuCancelXfer_Click(); }); });

  QMenu* refs = b.Menu("mnuViewRefTitle", "View Ref Tables");
  for (int i = 0; i <= 3; ++i) {
    b.Item(refs, ControlName("mnuViewRef", i), kViewRefCaptions[i],
           [this, &f, i] { Handle([&f, i] { f.mnuViewRef_Click(i); }); });
  }
  b.Separator(refs, ControlName("mnuViewRef", 4));
  b.Item(refs, ControlName("mnuViewRef", 5), "Update Reference Tables",
         [this, &f] { Handle([&f] { f.mnuViewRef_Click(5); }); });
}

void MainWindow::BuildControls(QWidget* client) {
  lblFacilityID_ = new QLabel("Facility ID:", client);
  lblFacilityID_->setObjectName("lblFacilityID");
  PlaceTwips(lblFacilityID_, 120, 240, 1575, 375);

  txtFacilityID_ = new QLineEdit(client);
  txtFacilityID_->setObjectName("txtFacilityID");
  PlaceTwips(txtFacilityID_, 1800, 240, 1815, 375);
  connect(txtFacilityID_, &QLineEdit::textEdited, this, [this](const QString& text) {
    form_.state().view.txtFacilityID.text = text.toStdString();
  });
  connect(txtFacilityID_, &QLineEdit::returnPressed, this,
          [this] { Handle([this] { form_.txtFacilityID_KeyDown(13); }); });

  ProgressBar_ = new QProgressBar(client);
  ProgressBar_->setObjectName("ProgressBar");
  ProgressBar_->setTextVisible(false);
  PlaceTwips(ProgressBar_, 120, 960, 4335, 255);

  option_group_ = new QButtonGroup(this);
  for (int i = 0; i < 2; ++i) {
    Option1_[i] = new QRadioButton(client);
    Option1_[i]->setObjectName(QString::fromStdString(ControlName("Option1", i)));
    option_group_->addButton(Option1_[i], i);
    connect(Option1_[i], &QRadioButton::clicked, this,
            [this, i] { Handle([this, i] { form_.Option1_Click(i); }); });
  }
  PlaceTwips(Option1_[0], 120, 1440, 2655, 255);
  PlaceTwips(Option1_[1], 120, 1920, 4575, 525);

  me_ReviewDate_ = new QLineEdit(client);
  me_ReviewDate_->setObjectName("me_ReviewDate");
  me_ReviewDate_->setPlaceholderText("M/D/YYYY");
  me_ReviewDate_->setMaxLength(10);
  // Digits and slashes only, as a short-date mask allows; whether they make a
  // date is the validation's call when the box is left.
  me_ReviewDate_->setValidator(
      new QRegularExpressionValidator(QRegularExpression("[0-9/]{0,10}"), me_ReviewDate_));
  PlaceTwips(me_ReviewDate_, 3015, 2385, 1455, 375);
  connect(me_ReviewDate_, &QLineEdit::textEdited, this, [this](const QString& text) {
    form_.state().view.me_ReviewDate.text = text.toStdString();
  });
  me_ReviewDate_->installEventFilter(this);

  lblStatusAll_ = new QLabel(client);
  lblStatusAll_->setObjectName("lblStatusAll");
  lblStatusAll_->setWordWrap(true);
  lblStatusAll_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  PlaceTwips(lblStatusAll_, 240, 2865, 4515, 630);

  for (int i = 0; i < 5; ++i) {
    lblStatus_[i] = new QLabel(client);
    lblStatus_[i]->setObjectName(QString::fromStdString(ControlName("lblStatus", i)));
    // As designed, but reaching the window's edge and wrapping onto the free
    // lines below, so the longer outcome texts are read whole.
    lblStatus_[i]->setWordWrap(true);
    lblStatus_[i]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    PlaceTwips(lblStatus_[i], 4920, kStatusTops[i], kFormClientWidth - 120 - 4920, 195);
  }

  grid_ = new GridPanel("DataGrid1", client);
  grid_->SetHeadClick([this](int c) { Handle([this, c] { form_.DataGrid1_HeadClick(c); }); });
  // Where a row stands in its workbook.
  grid_->SetRowTip([this](int row, int column) -> std::string {
    try {
      return RunningHandlers() == 0 ? form_.DataGrid1_Tip(row, column) : "";
    } catch (const std::exception&) {
      return "";  // Qt cannot carry an exception; the tip is only a help
    }
  });
  RenderGridGeometry();
}

void MainWindow::RenderGridGeometry() {
  const GridState& g = form_.state().view.DataGrid1;
  const QRect r(Px(kFormGridLeft), Px(kGridTop), Px(g.width), Px(g.height));
  if (grid_->geometry() != r) grid_->setGeometry(r);
}

void MainWindow::Render() {
  const MainView& v = form_.state().view;
  const QString caption = Q(v.caption);
  if (windowTitle() != caption) setWindowTitle(caption);
  RenderTextBox(txtFacilityID_, v.txtFacilityID);
  for (size_t i = 0; i < 2; ++i) RenderOption(Option1_[i], v.Option1[i]);
  RenderTextBox(me_ReviewDate_, v.me_ReviewDate);
  RenderLabel(lblStatusAll_, v.lblStatusAll);
  for (size_t i = 0; i < 5; ++i) {
    RenderLabel(lblStatus_[i], v.lblStatus[i]);
    FitLabelHeight(lblStatus_[i], kStatusLabelMaxHeight);
  }
  RenderProgress(ProgressBar_, v.ProgressBar);
  grid_->Render(v.DataGrid1);
  SetShown(grid_, v.DataGrid1.visible);
  RenderGridGeometry();
  for (const auto& [name, state] : v.menus.all()) {
    if (auto it = actions_.find(name); it != actions_.end()) RenderAction(it->second, state);
  }
}

int MainWindow::MousePointer() const { return form_.state().view.mouse_pointer; }

void MainWindow::ClientResized(const QSize& size) {
  if (form_.unloaded()) return;
  form_.Form_Resize(Twips(size.width()) + kFormFrameWidth, Twips(size.height()) + kFormFrameHeight);
  RenderGridGeometry();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Closing the window is the shutdown, as "Exit" is.
  Handle([this] { form_.Form_Unload(); });
  event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == centralWidget() && event->type() == QEvent::Resize) {
    ClientResized(static_cast<QResizeEvent*>(event)->size());
  } else if (watched == me_ReviewDate_ && event->type() == QEvent::FocusOut && !validating_) {
    // The entry is validated when the person moves to another control of this
    // window, not when a dialog or another window takes the focus (the
    // validation's own message box would otherwise validate again).
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
        reason != Qt::MenuBarFocusReason && me_ReviewDate_->isEnabled()) {
      validating_ = true;
      form_.state().view.me_ReviewDate.text = me_ReviewDate_->text().toStdString();
      Handle([this] { form_.me_ReviewDate_Validate(); });
      validating_ = false;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace sorvane::gui
