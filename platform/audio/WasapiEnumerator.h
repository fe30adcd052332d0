#pragma once
// Lists the capture devices (microphones; monitors of outputs aside) and reports
// devices coming and going and the default devices changing. The name keeps the
// role Windows' device enumerator plays there; on Linux the sound server
// (PulseAudio) answers and sends the notifications.
// Lives on: the thread that makes it (the main thread); notifications arrive on
// the server's loop thread and reach it only through queued calls of the slots.

#include <QObject>
#include <QPair>
#include <QString>
#include <QVector>

#include <memory>

class WasapiEnumerator : public QObject {
    Q_OBJECT
public:
    using Device = QPair<QString, QString>; // (device id, friendly name)

    explicit WasapiEnumerator(QObject *parent = nullptr);
    ~WasapiEnumerator() override;

    // The capture devices now, in the server's order; each is printed too.
    // Empty without a sound server.
    QVector<Device> captureDevices();
    bool connected() const;

signals:
    void DefaultInputDeviceChanged();
    void DefaultOutputDeviceChanged();
    void DeviceCollectionChanged();

public slots:
    void Update();
    void OnDefaultInputDeviceChanged(QString device_id);
    void OnDefaultOutputDeviceChanged(QString device_id);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
