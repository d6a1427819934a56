#pragma once
// A captioned frame of mutually exclusive choices, one of which (or none) is
// selected; the selection is read and set as an item index, -1 for none.
#include <QGroupBox>
#include <QStringList>

#include <vector>

class QButtonGroup;
class QRadioButton;

class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    RadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);

    int ItemIndex() const;
    // An index outside the items clears the selection.
    void SetItemIndex(int index);
    QRadioButton* Item(int index) const { return items_.at(static_cast<std::size_t>(index)); }
    int Count() const { return static_cast<int>(items_.size()); }

private:
    QButtonGroup* group_;
    std::vector<QRadioButton*> items_;
};
