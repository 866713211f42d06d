#include "gui/qt/status_window.h"

#include "gui/qt/log_view.h"
#include "gui/qt/screen_position.h"

#include <QVBoxLayout>

namespace kestrune {

StatusWindow::StatusWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), re1(CreateControls()), logControl_(re1), windowControl_(this),
      form_({&logControl_, &windowControl_}) {}

LogView* StatusWindow::CreateControls() {
    setObjectName("fStatus");
    setWindowTitle("Status");
    QFont font("Tahoma", 8);
    font.setStyleHint(QFont::SansSerif);
    setFont(font);
    resize(535, 341);
    CentreOnScreen(*this);

    auto* edit = new LogView(this);
    edit->setObjectName("re1");
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, Qt::black);
    palette.setColor(QPalette::Text, FromColorRef(0x00FF00));
    edit->setPalette(palette);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit);
    return edit;
}

void StatusWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    form_.FormShow();
}

} // namespace kestrune
