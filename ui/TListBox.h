#pragma once
// The list box of open maps and its lines as the open-map list sees them.
#include <QListWidget>
#include <cstdint>
#include <functional>

#include "workspace/TMapNames.h"

/// Single selection, lines 13 pixels high. OnClick runs only when the user
/// chooses a line, never when the program changes the lines or the selection.
class TListBox : public QListWidget {
public:
    explicit TListBox(QWidget* parent);
    /// The selected line, -1 for none.
    std::int32_t ItemIndex() const;
    /// Selects line i; an i outside the lines clears the selection.
    void SetItemIndex(std::int32_t i);
    /// The selected line's text, empty when none is selected.
    QString SelectedText() const;

    void AppendLine(const QString& text);
    void ReplaceLine(std::int32_t i, const QString& text);
    /// Deleting the selected line leaves no line selected.
    void DeleteLine(std::int32_t i);

    std::function<void()> OnClick;

protected:
    /// The user chooses a line but never clears the choice: a click below the
    /// last line or a Ctrl+click on the selected line leaves it selected.
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;

private:
    void UserChose();
    bool programmatic_ = false;
};

/// MapNames: the open-map list's view of the list box lines.
class TListBoxNames : public TMapNames {
public:
    explicit TListBoxNames(TListBox& box) : box_(box) {}
    void Append(const std::string& line) override;
    void Replace(std::int32_t i, const std::string& line) override;
    void Delete(std::int32_t i) override;
    std::int32_t Count() const override;
    std::string Line(std::int32_t i) const override;

private:
    TListBox& box_;
};
