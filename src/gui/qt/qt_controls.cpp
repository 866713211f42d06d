#include "gui/qt/qt_controls.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace kestrune {
namespace {

QString ToQ(const WideString& text) {
    return QString::fromStdU16String(text);
}
WideString FromQ(const QString& text) {
    return text.toStdU16String();
}

} // namespace

QColor FromColorRef(uint32_t color) {
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

QtEdit::QtEdit(QLineEdit* edit) : QtControl(edit), edit_(edit) {}
WideString QtEdit::Text() const {
    return FromQ(edit_->text());
}
void QtEdit::SetText(const WideString& text) {
    edit_->setText(ToQ(text));
}

QtButton::QtButton(QPushButton* button) : QtControl(button), button_(button) {}
WideString QtButton::Caption() const {
    return FromQ(button_->text());
}
void QtButton::SetCaption(const WideString& caption) {
    button_->setText(ToQ(caption));
}

QtCheckBox::QtCheckBox(QCheckBox* box) : QtControl(box), box_(box) {}
bool QtCheckBox::Checked() const {
    return box_->isChecked();
}

QtComboBox::QtComboBox(QComboBox* box) : QtControl(box), box_(box) {}
WideString QtComboBox::Text() const {
    return FromQ(box_->currentText());
}
void QtComboBox::SetText(const WideString& text) {
    box_->setEditText(ToQ(text));
}
void QtComboBox::AddItem(const WideString& item) {
    box_->addItem(ToQ(item));
}
int QtComboBox::Count() const {
    return box_->count();
}
WideString QtComboBox::Item(int index) const {
    return FromQ(box_->itemText(index));
}
void QtComboBox::SetItemIndex(int index) {
    box_->setCurrentIndex(index);
}

QtListBox::QtListBox(QListWidget* list) : QtControl(list), list_(list) {}
void QtListBox::Clear() {
    list_->clear();
}
int QtListBox::Count() const {
    return list_->count();
}
WideString QtListBox::Item(int index) const {
    return FromQ(list_->item(index)->text());
}
void QtListBox::Insert(int index, const WideString& item) {
    list_->insertItem(index, ToQ(item));
}
bool QtListBox::Selected(int index) const {
    return list_->item(index)->isSelected();
}
void QtListBox::SetSelected(int index, bool selected) {
    list_->item(index)->setSelected(selected);
}
void QtListBox::SelectAll() {
    list_->selectAll();
}
void QtListBox::SelectOnly(int index) {
    list_->clearSelection();
    list_->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
}

QtCheckList::QtCheckList(QListWidget* list) : QtControl(list), list_(list) {}
void QtCheckList::SetItems(const std::vector<WideString>& items) {
    list_->setUpdatesEnabled(false);
    list_->clear();
    for (const WideString& text : items) {
        auto* item = new QListWidgetItem(ToQ(text));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        list_->addItem(item);
    }
    list_->setUpdatesEnabled(true);
}
int QtCheckList::Count() const {
    return list_->count();
}
bool QtCheckList::Checked(int index) const {
    const QListWidgetItem* item = list_->item(index);
    return item && item->checkState() == Qt::Checked;
}
void QtCheckList::SetAllChecked(bool checked) {
    list_->setUpdatesEnabled(false);
    for (int i = 0; i < list_->count(); ++i)
        list_->item(i)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    list_->setUpdatesEnabled(true);
}

void QtTimer::SetEnabled(bool enabled) {
    if (enabled)
        timer_->start();
    else
        timer_->stop();
}
bool QtTimer::Enabled() const {
    return timer_->isActive();
}

void QtOpenDialog::SetInitialDir(const WideString& folder) {
    dialog_->setDirectory(ToQ(folder));
}
bool QtOpenDialog::Execute() {
    if (dialog_->exec() != QDialog::Accepted || dialog_->selectedFiles().isEmpty()) return false;
    fileName_ =
        std::filesystem::path(QFile::encodeName(dialog_->selectedFiles().first()).toStdString());
    return true;
}
std::filesystem::path QtOpenDialog::FileName() const {
    return fileName_;
}

void QtFormWindow::Close() {
    window_->close();
}
void QtFormWindow::Show() {
    window_->show();
}
void QtFormWindow::ShowModal() {
    if (auto* dialog = qobject_cast<QDialog*>(window_)) {
        // Modal to its parent only: other windows (the Status window) stay usable.
        dialog->setWindowModality(Qt::WindowModal);
        dialog->exec();
    }
}
void QtFormWindow::BringToFront() {
    window_->raise();
    window_->activateWindow();
}
ScreenRect QtFormWindow::Frame() const {
    const QRect r = window_->frameGeometry();
    return {r.left(), r.top(), r.width(), r.height()};
}
void QtFormWindow::MoveTo(int left, int top) {
    window_->move(left, top);
}
ScreenRect QtFormWindow::WorkArea() const {
    QScreen* screen = window_->screen() ? window_->screen() : QGuiApplication::primaryScreen();
    if (!screen) return Frame();
    const QRect r = screen->availableGeometry();
    return {r.left(), r.top(), r.width(), r.height()};
}
void QtFormWindow::ProcessMessages() {
    QApplication::processEvents();
}
void QtFormWindow::Terminate(int status) {
    QCoreApplication::exit(status);
}
void QtFormWindow::ShowMessage(MessageKind kind, const std::string& caption,
                               const std::string& text) {
    const QString title = QString::fromStdString(caption), body = QString::fromStdString(text);
    if (kind == MessageKind::Error)
        QMessageBox::critical(window_, title, body);
    else
        QMessageBox::warning(window_, title, body);
}

} // namespace kestrune
