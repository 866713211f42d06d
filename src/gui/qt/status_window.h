// The Status window's Qt view: one read-only log of coloured lines, light green on black.
#pragma once

#include "gui/forms/status_form.h"
#include "gui/qt/qt_controls.h"
#include "gui/qt/qt_rich_log.h"

#include <QWidget>

namespace kestrune {

class LogView;

class StatusWindow : public QWidget {
  public:
    explicit StatusWindow(QWidget* parent = nullptr);

    TfStatus& form() { return form_; }
    LogView* re1;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    LogView* CreateControls();

    QtRichLog logControl_;
    QtFormWindow windowControl_;
    TfStatus form_;
};

} // namespace kestrune
