#include "ui/TBackgroundWork.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>
#include <exception>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

namespace {

/// Holds off the user's input to every window but the progress dialog: the
/// window's handlers must not run on the maps while the worker has them.
/// Until the dialog shows, the window only looks busy, as it would with the
/// work on its own thread: what was held then is delivered once the work has
/// ended, in order. Once the dialog shows, the window is blocked by it, and
/// input to it meanwhile is dropped as for any modal dialog.
class TInputHold : public QObject {
public:
    explicit TInputHold(const QWidget& dialog) : dialog_(dialog) { qApp->installEventFilter(this); }
    ~TInputHold() override
    {
        qApp->removeEventFilter(this);
        for (auto& [target, event] : held_)
            if (target) QCoreApplication::postEvent(target, event.release());
    }
    TInputHold(const TInputHold&) = delete;
    TInputHold& operator=(const TInputHold&) = delete;

    bool eventFilter(QObject* target, QEvent* event) override
    {
        if (target == &dialog_ && event->type() == QEvent::Show) dialogShown_ = true;
        switch (event->type()) {
        case QEvent::Shortcut:
            // The window's menu shortcuts go to its actions; the dialog's
            // Escape is a shortcut of its own.
            for (const QObject* owner = target; owner; owner = owner->parent())
                if (owner == &dialog_) return false;
            Keep(target, *event);
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
            // A close waits for no one: the user asks again once the work is done.
            if (held && event->type() != QEvent::Close && event->type() != QEvent::ShortcutOverride)
                Keep(target, *event);
            return held;
        }
        default:
            return false;
        }
    }

private:
    void Keep(QObject* target, const QEvent& event)
    {
        if (!dialogShown_) held_.emplace_back(target, event.clone());
    }

    const QWidget& dialog_;
    bool dialogShown_ = false;
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> held_;
};

/// The progress dialog; one that may not be cancelled stays until the work ends.
class TProgressDialog : public QProgressDialog {
public:
    TProgressDialog(const QString& label, bool cancellable, QWidget* parent)
        : QProgressDialog(label, cancellable ? QString::fromUtf8("Отмена") : QString(), 0, 0, parent),
          cancellable_(cancellable)
    {
    }
    void reject() override
    {
        if (cancellable_) QProgressDialog::reject();
    }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        if (cancellable_)
            QProgressDialog::closeEvent(event);
        else
            event->ignore();
    }

private:
    const bool cancellable_;
};

} // namespace

bool RunInBackground(const QString& label, bool cancellable, const std::function<void(const std::atomic<bool>& stop)>& work,
                     QWidget* parent)
{
    std::atomic<bool> stop{false};
    std::exception_ptr error;
    QEventLoop loop;
    TProgressDialog progress(label, cancellable, parent);
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    // Shown once the work has taken this long; a dialog with no steps never
    // counts its own time.
    progress.setMinimumDuration(BackgroundWork::DialogDelay);
    QTimer::singleShot(BackgroundWork::DialogDelay, &progress, [&progress] { progress.show(); });
    bool cancelled = false;
    if (cancellable) {
        const auto cancel = [&] {
            cancelled = true;
            loop.quit();
        };
        QObject::connect(&progress, &QProgressDialog::canceled, &loop, cancel);
        // Escape rejects the dialog.
        QObject::connect(&progress, &QDialog::rejected, &loop, cancel);
    }
    const TInputHold hold(progress);
    std::thread worker([&] {
        try {
            work(stop);
        } catch (...) {
            error = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    // Stopped work ends at its next block.
    if (cancelled) stop = true;
    worker.join();
    progress.hide();
    if (cancelled) return false;
    if (error) std::rethrow_exception(error);
    return true;
}

TBackgroundWorks::TBackgroundWorks(QWidget& window, std::function<void()> settle)
{
    // The runner may outlive the window when windows are not closed in the
    // order they were opened: a window gone runs the work in place.
    previous_ = SetLongWorkRunner([window = QPointer<QWidget>(&window), settle = std::move(settle)](
                                      const std::string& caption, std::int64_t bytes, const std::function<void()>& work) {
        if (!window || !window->isVisible() || bytes < BackgroundWork::From) {
            work();
            return;
        }
        if (settle) settle();
        RunInBackground(QString::fromStdString(caption), false,
                        [&work](const std::atomic<bool>&) {
                            if (BackgroundWork::Run)
                                BackgroundWork::Run(work);
                            else
                                work();
                        },
                        window);
    });
}

TBackgroundWorks::~TBackgroundWorks() { SetLongWorkRunner(std::move(previous_)); }
