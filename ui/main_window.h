// The main window "Sorvane Tables": draws the state of `frmCMain` (menus, the
// Facility ID box, flag options, review date, status line, per-table labels,
// progress bar and grid) and forwards every click, key and resize to its
// handlers. It holds no behaviour of its own: after a handler ran, the core's
// Refresh brings the new state here through `Render()`.
#pragma once

#include <QMainWindow>
#include <array>

#include "menu_builder.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QProgressBar;
class QRadioButton;

namespace sorvane {
class frmCMain;
}

namespace sorvane::gui {

class GridPanel;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(frmCMain& form, QWidget* parent = nullptr);

  // Draws the current state of the main window.
  void Render();
  // The pointer the window's state asks for (0, 11 or 13).
  int MousePointer() const;

  GridPanel* grid() const { return grid_; }
  const ActionMap& actions() const { return actions_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Workbooks or a folder dragged from a file manager or a mail (frmCMain::DropOnWindow).
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildMenus();
  void BuildControls(QWidget* client);
  // Runs a handler unless the window was unloaded.
  void Handle(const std::function<void()>& handler);
  void ClientResized(const QSize& size);
  void RenderGridGeometry();

  frmCMain& form_;
  ActionMap actions_;
  QLabel* lblFacilityID_ = nullptr;
  QLineEdit* txtFacilityID_ = nullptr;
  QProgressBar* ProgressBar_ = nullptr;
  std::array<QRadioButton*, 2> Option1_{};
  QButtonGroup* option_group_ = nullptr;
  QLineEdit* me_ReviewDate_ = nullptr;
  QLabel* lblStatusAll_ = nullptr;
  std::array<QLabel*, 5> lblStatus_{};
  GridPanel* grid_ = nullptr;
  bool validating_ = false;
};

}  // namespace sorvane::gui
