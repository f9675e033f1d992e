#include "ui/TBackgroundLoad.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <exception>
#include <filesystem>
#include <memory>
#include <thread>

#include "model/TMap.h"
#include "platform/Errors.h"
#include "platform/SystemFiles.h"

namespace {

/// Holds off the user's input to every window but the progress dialog: the
/// window's handlers must not run on the map while a load is under way.
class TInputHold : public QObject {
public:
    explicit TInputHold(const QWidget& dialog) : dialog_(dialog) { qApp->installEventFilter(this); }
    ~TInputHold() override { qApp->removeEventFilter(this); }
    TInputHold(const TInputHold&) = delete;
    TInputHold& operator=(const TInputHold&) = delete;

    bool eventFilter(QObject* target, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Shortcut:
            // The window's menu shortcuts go to its actions; the dialog's
            // Escape is a shortcut of its own.
            for (const QObject* owner = target; owner; owner = owner->parent())
                if (owner == &dialog_) return false;
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
        case QEvent::Close: {
            // Input reaches a window's widgets through the window itself,
            // which is let by: the widgets decide.
            const auto* widget = qobject_cast<const QWidget*>(target);
            const bool held = widget && widget != &dialog_ && !dialog_.isAncestorOf(widget);
            // A close event not delivered still counts as accepted.
            if (held) event->ignore();
            return held;
        }
        default:
            return false;
        }
    }

private:
    const QWidget& dialog_;
};

/// What the worker and the waiting thread share; the worker is joined
/// before it goes.
struct TWork {
    std::atomic<bool> Stop{false};
    TMap Scratch;
    TMapFileStats Stats;
    std::exception_ptr Error;
};

} // namespace

TMapFileStats ReadInBackground(TMap& map, const std::string& path, QWidget* parent)
{
    TWork work;
    QEventLoop loop;
    const TStoppableRead read = BackgroundLoad::Read
                                    ? BackgroundLoad::Read
                                    : [](TMap& into, const std::string& file, const std::atomic<bool>& stop) {
                                          return ReadMapFile(into, file, stop);
                                      };
    const std::string name = path.substr(path.find_last_of("\\/") + 1);
    QProgressDialog progress(QString::fromUtf8("Загрузка: ") + QString::fromStdString(name),
                             QString::fromUtf8("Отмена"), 0, 0, parent);
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    // Shown once the read has taken this long; a dialog with no steps never
    // counts its own time.
    progress.setMinimumDuration(BackgroundLoad::DialogDelay);
    QTimer::singleShot(BackgroundLoad::DialogDelay, &progress, [&progress] { progress.show(); });
    bool cancelled = false;
    const auto cancel = [&] {
        cancelled = true;
        loop.quit();
    };
    QObject::connect(&progress, &QProgressDialog::canceled, &loop, cancel);
    // Escape rejects the dialog.
    QObject::connect(&progress, &QDialog::rejected, &loop, cancel);
    const TInputHold hold(progress);
    std::thread worker([&] {
        try {
            work.Stats = read(work.Scratch, path, work.Stop);
        } catch (...) {
            work.Error = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    // A stopped read ends at its next block of records.
    if (cancelled) work.Stop = true;
    worker.join();
    progress.hide();
    if (cancelled) throw ELoadCancelled();
    // What a damaged file left goes into the map too, as a load in place keeps it.
    TakeLoadedMap(map, work.Scratch);
    if (work.Error) std::rethrow_exception(work.Error);
    return work.Stats;
}

TBackgroundLoads::TBackgroundLoads(QWidget& window)
{
    previous_ = SetMapFileReader([&window](TMap& map, const std::string& path) {
        std::error_code error;
        const auto size = std::filesystem::file_size(PathOf(path), error);
        // Before the window shows (the command line's map) nothing needs it to tick.
        if (error || !window.isVisible() || static_cast<std::int64_t>(size) < BackgroundLoad::From)
            return ReadMapFile(map, path);
        return ReadInBackground(map, path, &window);
    });
}

TBackgroundLoads::~TBackgroundLoads() { SetMapFileReader(std::move(previous_)); }
