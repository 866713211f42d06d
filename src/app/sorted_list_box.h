// A list box that keeps its items in the user's locale order without regard to case, as a
// sorted Windows list box does (QListWidget's own sorting is case-sensitive).
#pragma once

#include <QListWidget>

namespace kestrune {

class SortedListBox : public QListWidget {
  public:
    using QListWidget::QListWidget;
    // Inserts text where it belongs and returns its row.
    int AddSorted(const QString& text);
};

} // namespace kestrune
