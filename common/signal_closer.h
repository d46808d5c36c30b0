#pragma once
#include <QObject>

class QSocketNotifier;

// Closes every window on SIGTERM, SIGINT or SIGHUP, so that a session
// ending or a terminal's Ctrl+C ends the program the normal way (the add-in
// is told to stop) instead of killing it mid-run.
class SignalCloser : public QObject {
    Q_OBJECT
public:
    explicit SignalCloser(QObject* parent = nullptr);
    ~SignalCloser() override;

private:
    void on_signal();

    QSocketNotifier* notifier = nullptr;
};
