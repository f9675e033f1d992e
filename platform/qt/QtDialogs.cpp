#include "platform/qt/QtDialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

#include "platform/qt/QtCanvas.h"

struct TQtFileDialog::State {
    TFileDialogMode Mode;
    QString Filter;
    QWidget* Parent;
    /// The folder and name the dialog showed when it was last accepted.
    QString Folder;
    QString Name;
    std::string Chosen;
};

QStringList QtFilterPatterns(const std::string& filter)
{
    // "description|patterns|description|patterns...", patterns split by ';'.
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList patterns;
    for (qsizetype i = 1; i < parts.size(); i += 2) {
        for (const QString& raw : parts[i].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString pattern = raw.trimmed();
            if (pattern.isEmpty()) continue;
            for (const QString& variant : {pattern.toLower(), pattern.toUpper()}) {
                if (!patterns.contains(variant)) patterns.append(variant);
            }
        }
    }
    return patterns;
}

QString QtNameFilter(const std::string& filter)
{
    // Qt takes the last parenthesised group as the patterns and, with
    // HideNameFilterDetails, shows what stands before it: the description.
    const QString description = QString::fromStdString(filter).section(QLatin1Char('|'), 0, 0).trimmed();
    return description + QStringLiteral(" (") + QtFilterPatterns(filter).join(QLatin1Char(' ')) + QLatin1Char(')');
}

TQtFileDialog::TQtFileDialog(TFileDialogMode mode, const std::string& filter, QWidget* parent)
    : state_(new State{mode, QtNameFilter(filter), parent, QString(), QString(), std::string()})
{
}

TQtFileDialog::~TQtFileDialog() = default;

bool TQtFileDialog::Execute()
{
    // Qt's own dialog rather than the desktop's, so that it behaves the same
    // everywhere: no suffix added, no question before replacing a file.
    QFileDialog dialog(state_->Parent);
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite |
                      QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(state_->Mode == TFileDialogMode::Open ? QFileDialog::AcceptOpen
                                                               : QFileDialog::AcceptSave);
    // A name that does not exist yet may be opened too: it becomes an empty map.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(state_->Filter);
    if (!state_->Folder.isEmpty()) dialog.setDirectory(state_->Folder);
    if (!state_->Name.isEmpty()) dialog.selectFile(state_->Name);
    if (dialog.exec() != QDialog::Accepted) return false;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return false;
    const QFileInfo chosen(files.first());
    state_->Folder = chosen.absolutePath();
    state_->Name = chosen.fileName();
    state_->Chosen = chosen.absoluteFilePath().toStdString();
    return true;
}

std::string TQtFileDialog::FileName() const { return state_->Chosen; }

namespace {

TColor FromQColor(const QColor& color)
{
    return static_cast<TColor>(color.red()) | static_cast<TColor>(color.green()) << 8 |
           static_cast<TColor>(color.blue()) << 16;
}

} // namespace

TQtColorDialog::TQtColorDialog(QWidget* parent) : parent_(parent) {}

bool TQtColorDialog::Execute()
{
    QColorDialog dialog(ToQColor(color_), parent_);
    if (dialog.exec() != QDialog::Accepted) return false;
    color_ = FromQColor(dialog.selectedColor());
    return true;
}

TColor TQtColorDialog::Color() const { return color_; }

void TQtColorDialog::SetColor(TColor color) { color_ = color & 0xFFFFFF; }

TQtMessageService::TQtMessageService(QWidget* parent) : parent_(parent) {}

TMsgResult TQtMessageService::Confirm(const std::string& text, TMsgButtons buttons)
{
    return Ask("Подтверждение", text, buttons);
}

TMsgResult TQtMessageService::Ask(const std::string& title, const std::string& text, TMsgButtons buttons)
{
    const bool withCancel = buttons == TMsgButtons::YesNoCancel;
    QMessageBox box(QMessageBox::Question, QString::fromStdString(title), QString::fromStdString(text),
                    withCancel ? QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel
                               : QMessageBox::Yes | QMessageBox::No,
                    parent_);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(withCancel ? QMessageBox::Cancel : QMessageBox::No);
    switch (box.exec()) {
    case QMessageBox::Yes: return TMsgResult::Yes;
    case QMessageBox::No: return TMsgResult::No;
    default: return withCancel ? TMsgResult::Cancel : TMsgResult::No;
    }
}

void TQtMessageService::ShowError(const std::string& text)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Ошибка"), QString::fromStdString(text), QMessageBox::Ok,
                    parent_);
    box.exec();
}

bool InstallRussianTranslation(QApplication& app)
{
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QApplication::installTranslator(translator);
}
