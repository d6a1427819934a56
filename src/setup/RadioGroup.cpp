#include "RadioGroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this))
{
    setAccessibleName(caption);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 2, 8, 2);
    layout->setSpacing(0);
    for (const QString& text : items) {
        auto* item = new QRadioButton(text, this);
        group_->addButton(item, static_cast<int>(items_.size()));
        layout->addWidget(item);
        items_.push_back(item);
    }
}

int RadioGroup::ItemIndex() const
{
    return group_->checkedId();
}

void RadioGroup::SetItemIndex(int index)
{
    if (index >= 0 && index < Count()) {
        items_[static_cast<std::size_t>(index)]->setChecked(true);
        return;
    }
    // An exclusive group never lets its last checked button go.
    group_->setExclusive(false);
    for (QRadioButton* item : items_)
        item->setChecked(false);
    group_->setExclusive(true);
}
