#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <functional>

// Waits, while a test sits in some dialog's exec(), for the first modal
// dialog of type Dialog to be shown and hands it to the action (which
// typically reads it and then closes it). Polls the event loop rather than
// sleeping; gives up after a generous limit so a missing dialog fails the
// test instead of hanging it.
template <typename Dialog>
class ModalWatcher
{
public:
    explicit ModalWatcher(std::function<void(Dialog *)> action)
        : action(std::move(action))
    {
        QObject::connect(&timer, &QTimer::timeout, [this] { poll(); });
        timer.setInterval(10);
        elapsed.start();
        timer.start();
    }
    ModalWatcher(const ModalWatcher &) = delete;
    ModalWatcher &operator=(const ModalWatcher &) = delete;

    // True once the action has run on a shown dialog.
    bool handled() const { return done; }

private:
    void poll()
    {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        if (dialog && dialog->isVisible()) {
            timer.stop();
            done = true;
            action(dialog);
            return;
        }
        if (elapsed.hasExpired(30000))
            timer.stop();
    }

    std::function<void(Dialog *)> action;
    QTimer timer;
    QElapsedTimer elapsed;
    bool done = false;
};
