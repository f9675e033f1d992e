#include "ui/TListBox.h"

#include <QStyledItemDelegate>

#include "model/Errors.h"
#include "ui/RunGuarded.h"

namespace {

constexpr int LineHeight = 13;

class TLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(LineHeight);
        return size;
    }
};

/// Sets a flag for the lifetime of the guard.
class TFlagGuard {
public:
    explicit TFlagGuard(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~TFlagGuard() { flag_ = old_; }
    TFlagGuard(const TFlagGuard&) = delete;
    TFlagGuard& operator=(const TFlagGuard&) = delete;

private:
    bool& flag_;
    bool old_;
};

} // namespace

TListBox::TListBox(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setItemDelegate(new TLineDelegate(this));
    // A mouse click on the line already selected changes no row, yet it is a choice.
    connect(this, &QListWidget::itemClicked, this, Guarded([this] { UserChose(); }));
    connect(this, &QListWidget::currentRowChanged, this, Guarded([this] {
                if (!programmatic_) UserChose();
            }));
}

QItemSelectionModel::SelectionFlags TListBox::selectionCommand(const QModelIndex& index, const QEvent* event) const
{
    const QItemSelectionModel::SelectionFlags command = QListWidget::selectionCommand(index, event);
    if (programmatic_) return command;
    if (!index.isValid()) return QItemSelectionModel::NoUpdate;
    if (command & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle))
        return QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
    return command;
}

void TListBox::UserChose()
{
    if (ItemIndex() >= 0 && OnClick) OnClick();
}

std::int32_t TListBox::ItemIndex() const
{
    const QListWidgetItem* item = currentItem();
    return item && item->isSelected() ? currentRow() : -1;
}

void TListBox::SetItemIndex(std::int32_t i)
{
    const TFlagGuard guard(programmatic_);
    setCurrentRow(i >= 0 && i < count() ? i : -1);
}

QString TListBox::SelectedText() const
{
    const std::int32_t i = ItemIndex();
    return i < 0 ? QString() : item(i)->text();
}

void TListBox::AppendLine(const QString& text)
{
    const TFlagGuard guard(programmatic_);
    addItem(text);
}

void TListBox::ReplaceLine(std::int32_t i, const QString& text)
{
    if (i < 0 || i >= count()) throw ERangeError();
    item(i)->setText(text);
}

void TListBox::DeleteLine(std::int32_t i)
{
    if (i < 0 || i >= count()) throw ERangeError();
    const TFlagGuard guard(programmatic_);
    const bool wasSelected = ItemIndex() == i;
    delete takeItem(i);
    if (wasSelected) setCurrentRow(-1);
}

void TListBoxNames::Append(const std::string& line) { box_.AppendLine(QString::fromStdString(line)); }

void TListBoxNames::Replace(std::int32_t i, const std::string& line)
{
    box_.ReplaceLine(i, QString::fromStdString(line));
}

void TListBoxNames::Delete(std::int32_t i) { box_.DeleteLine(i); }

std::int32_t TListBoxNames::Count() const { return box_.count(); }

std::string TListBoxNames::Line(std::int32_t i) const
{
    if (i < 0 || i >= box_.count()) throw ERangeError();
    return box_.item(i)->text().toStdString();
}
