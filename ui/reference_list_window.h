// The reference-list window: draws the state of `frmCMinorTableView` (caption,
// the list in a read-only grid, the "&Table" menu with "E&xit") and forwards
// heading clicks, resizes, activation and the close box to it. The one window
// is reused for every list.
#pragma once

#include <QMainWindow>
#include <functional>

#include "menu_builder.h"

namespace sorvane {
class frmCMinorTableView;
class UiPort;
}  // namespace sorvane

namespace sorvane::gui {

class GridPanel;

class ReferenceListWindow : public QMainWindow {
  Q_OBJECT

 public:
  // `view` returns the reference-list window of the core, or null.
  ReferenceListWindow(UiPort& ui, std::function<frmCMinorTableView*()> view,
                      QWidget* parent = nullptr);

  void Render();
  GridPanel* grid() const { return grid_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Handle(const std::function<void(frmCMinorTableView&)>& handler);
  void RenderGridGeometry();

  UiPort& ui_;
  std::function<frmCMinorTableView*()> view_;
  ActionMap actions_;
  GridPanel* grid_ = nullptr;
};

}  // namespace sorvane::gui
