#pragma once
// The dialogs and the message service with Qt.
#include <QString>
#include <QStringList>
#include <memory>

#include "platform/Dialogs.h"

class QWidget;
class QApplication;

enum class TFileDialogMode { Open, Save };

/// A QFileDialog with one filter; adds no extension, never asks before
/// replacing, remembers the folder and name it showed last.
class TQtFileDialog : public TFileDialog {
public:
    /// filter as the editor writes it: "Description | pattern" pairs joined by "|".
    TQtFileDialog(TFileDialogMode mode, const std::string& filter, QWidget* parent = nullptr);
    ~TQtFileDialog() override;
    bool Execute() override;
    std::string FileName() const override;

private:
    struct State;
    std::unique_ptr<State> state_;
};

class TQtColorDialog : public TColorDialog {
public:
    explicit TQtColorDialog(QWidget* parent = nullptr);
    bool Execute() override;
    TColor Color() const override;
    void SetColor(TColor color) override;

private:
    QWidget* parent_;
    TColor color_ = clBlack;
};

/// QMessageBox questions and the error message box.
class TQtMessageService : public TMessageService {
public:
    explicit TQtMessageService(QWidget* parent = nullptr);
    TMsgResult Confirm(const std::string& text, TMsgButtons buttons) override;
    TMsgResult Ask(const std::string& title, const std::string& text, TMsgButtons buttons) override;
    void ShowError(const std::string& text) override;
    void SetParent(QWidget* parent) { parent_ = parent; }

private:
    QWidget* parent_;
};

/// The Qt name filter for a filter as the editor writes it: the description
/// (the text before the first "|") followed by every pattern in lower and upper
/// case, so that "Карта (*.ks) | *.ks" shows "Карта (*.ks)" and lists both
/// a.ks and a.KS where case matters.
QString QtNameFilter(const std::string& filter);
/// The patterns that QtNameFilter matches, lower and upper case, in order.
QStringList QtFilterPatterns(const std::string& filter);

/// Loads Qt's own Russian translation so standard buttons read "Да", "Нет", "Отмена".
bool InstallRussianTranslation(QApplication& app);
