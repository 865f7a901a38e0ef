#pragma once

#include <QObject>

class QSocketNotifier;

namespace zorv {

// SIGTERM and SIGINT as a Qt signal, so that a long run ends between two
// files instead of in the middle of one. The handler only writes a byte to
// a socket pair; the event loop sees the byte and emits received() once per
// signal. One object at a time; it puts the handlers it found back when it
// goes.
class StopSignal : public QObject
{
    Q_OBJECT
public:
    explicit StopSignal(QObject *parent = nullptr);
    ~StopSignal() override;

    // False when the socket pair could not be made: the signals then end the
    // process as they would without this object.
    bool isActive() const { return notifier != nullptr; }

signals:
    void received();

private slots:
    void onActivated();

private:
    static void handle(int signalNumber);

    QSocketNotifier *notifier = nullptr;
};

} // namespace zorv
