#include "ui/TRadioGroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

TRadioGroup::TRadioGroup(const QStringList& items, QWidget* parent)
    : QGroupBox(parent), group_(new QButtonGroup(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 2, SideMargins - 4, 2);
    layout->setSpacing(0);
    for (qsizetype i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        group_->addButton(button, static_cast<int>(i));
        layout->addWidget(button);
        Items.push_back(button);
    }
}

std::int32_t TRadioGroup::ItemIndex() const { return group_->checkedId(); }

void TRadioGroup::SetItemIndex(std::int32_t i)
{
    if (i >= 0 && i < static_cast<std::int32_t>(Items.size())) {
        Items[static_cast<std::size_t>(i)]->setChecked(true);
        return;
    }
    // An exclusive group refuses to uncheck its last checked button.
    group_->setExclusive(false);
    for (QRadioButton* button : Items) button->setChecked(false);
    group_->setExclusive(true);
}
