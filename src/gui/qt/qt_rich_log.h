// The Status window's log over a LogView.
#pragma once

#include "gui/qt/qt_controls.h"

namespace kestrune {

class LogView;

class QtRichLog : public QtControl<RichLog> {
  public:
    explicit QtRichLog(LogView* view);
    void Clear() override;
    void AppendLine(WideString line, uint32_t color) override;
    bool Following() const override;
    void ScrollToEnd() override;
    size_t LineCount() const override;
    const WideString& LineAt(size_t line) const override;
    std::string RichText() const override;
    void SetTabStop(double points) override;

  private:
    LogView* view_;
};

} // namespace kestrune
