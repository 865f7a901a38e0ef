#pragma once

#include <QApplication>
#include <QTimer>

#include <functional>

// While a test sits in exec() or a click that opens a modal dialog, hands the
// first shown modal Dialog to the action (which reads and closes it). Gives up
// after 30 s, so that a dialog that never opens fails the test, not hangs it.
template <typename Dialog>
class ModalWatcher
{
public:
    explicit ModalWatcher(std::function<void(Dialog *)> action)
    {
        QObject::connect(&timer, &QTimer::timeout, [this, action] {
            auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
            done = dialog && dialog->isVisible();
            if (done || ++polls > 3000)
                timer.stop();
            if (done)
                action(dialog);
        });
        timer.start(10);
    }
    bool handled() const { return done; }

private:
    QTimer timer;
    int polls = 0;
    bool done = false;
};
