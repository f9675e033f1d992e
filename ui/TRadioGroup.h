#pragma once
// A captionless group of radio buttons, one column, read by item index.
#include <QGroupBox>
#include <QStringList>
#include <cstdint>
#include <vector>

class QButtonGroup;
class QRadioButton;

class TRadioGroup : public QGroupBox {
public:
    TRadioGroup(const QStringList& items, QWidget* parent);
    /// The space the group keeps on both sides of its items together, in pixels.
    static constexpr int SideMargins = 6;
    /// The checked item, -1 when none is (as at start).
    std::int32_t ItemIndex() const;
    /// Checks item i; any i outside the items unchecks them all.
    void SetItemIndex(std::int32_t i);
    /// The radio buttons, top to bottom.
    std::vector<QRadioButton*> Items;

private:
    QButtonGroup* group_;
};
