#include "app/sorted_list_box.h"

#include "app/qt_text.h"
#include "base/collation.h"

namespace kestrune {

int SortedListBox::AddSorted(const QString& text) {
    AnsiString key = ToAnsi(text);
    int low = 0, high = count();
    // After any equal items, so that equal names keep the order they arrived in.
    while (low < high) {
        int mid = (low + high) / 2;
        if (CompareText(ToAnsi(item(mid)->text()), key) <= 0)
            low = mid + 1;
        else
            high = mid;
    }
    insertItem(low, text);
    return low;
}

} // namespace kestrune
