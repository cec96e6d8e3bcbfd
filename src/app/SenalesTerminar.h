#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into an orderly quit of the event loop, so a
// service manager or Ctrl+C stops the robot through its normal shutdown.
class SenalesTerminar : public QObject
{
    Q_OBJECT
public:
    explicit SenalesTerminar(QObject* parent = nullptr);
    ~SenalesTerminar() override;

Q_SIGNALS:
    void Terminar();

private:
    QSocketNotifier* aviso_ = nullptr;
};
