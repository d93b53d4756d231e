// The check window: draws the state of `frmCCheckView` (caption, the 18 option
// buttons and status labels in three columns of six with their tool tips,
// severity emphasis and failure highlight, the problem grid with its caption,
// the menus with the check marks of passed tables) and forwards clicks, heading
// clicks, resizes and the close box to it. The core object is looked up on
// every event, so the window never outlives what it shows.
#pragma once

#include <QMainWindow>
#include <array>
#include <functional>

#include "checks/ModChecks.h"
#include "menu_builder.h"

class QLabel;
class QRadioButton;

namespace sorvane {
class frmCCheckView;
class UiPort;
}  // namespace sorvane

namespace sorvane::gui {

class GridPanel;

class CheckWindow : public QMainWindow {
  Q_OBJECT

 public:
  // `view` returns the check window of the core, or null when there is none.
  CheckWindow(UiPort& ui, std::function<frmCCheckView*()> view, QWidget* parent = nullptr);

  void Render();
  // The pointer the window's state asks for (0 when it has none).
  int MousePointer() const;
  GridPanel* grid() const { return grid_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenus();
  void BuildControls(QWidget* client);
  // Runs `handler` on the core's window when there is one.
  void Handle(const std::function<void(frmCCheckView&)>& handler);
  void RenderGridGeometry();

  UiPort& ui_;
  std::function<frmCCheckView*()> view_;
  ActionMap actions_;
  std::array<QRadioButton*, kCheckControls> optReview_{};
  std::array<QLabel*, kCheckControls> lblStatus_{};
  GridPanel* grid_ = nullptr;
  QLabel* lblChanges_ = nullptr;
};

}  // namespace sorvane::gui
