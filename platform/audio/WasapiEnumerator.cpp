#include "WasapiEnumerator.h"

#include "pulse/PulseContext.h"

#include <cstdio>

namespace {
constexpr int kServerMs = 1500;
}

struct WasapiEnumerator::Impl {
    WasapiEnumerator *q;
    zua::pulse::Context server{"ZuAEdit devices"};
    bool connected = false;
    // The server's defaults as last seen (loop thread only).
    QString defaultSource, defaultSink;

    explicit Impl(WasapiEnumerator *owner) : q(owner) {}

    // Asks for the server's defaults; reports those that changed since last time.
    void checkDefaults(bool report)
    {
        pa_operation *op = pa_context_get_server_info(
            server.context(),
            [](pa_context *, const pa_server_info *info, void *self) {
                auto *d = static_cast<Impl *>(self);
                if (!info)
                    return;
                const QString source = QString::fromUtf8(info->default_source_name);
                const QString sink = QString::fromUtf8(info->default_sink_name);
                const bool sourceChanged = source != d->defaultSource;
                const bool sinkChanged = sink != d->defaultSink;
                const bool report = d->connected;
                d->defaultSource = source;
                d->defaultSink = sink;
                if (report && sourceChanged)
                    QMetaObject::invokeMethod(d->q, "OnDefaultInputDeviceChanged",
                                              Qt::QueuedConnection, Q_ARG(QString, source));
                if (report && sinkChanged)
                    QMetaObject::invokeMethod(d->q, "OnDefaultOutputDeviceChanged",
                                              Qt::QueuedConnection, Q_ARG(QString, sink));
                d->server.signal();
            },
            this);
        if (report) {
            if (op)
                pa_operation_unref(op);
        } else {
            server.finish(op, kServerMs);
        }
    }

    static void onEvent(pa_context *, pa_subscription_event_type_t type, uint32_t, void *self)
    {
        auto *d = static_cast<Impl *>(self);
        const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
        const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
        if (facility == PA_SUBSCRIPTION_EVENT_SERVER)
            d->checkDefaults(true);
        else if (facility == PA_SUBSCRIPTION_EVENT_SOURCE && kind != PA_SUBSCRIPTION_EVENT_CHANGE)
            QMetaObject::invokeMethod(d->q, "Update", Qt::QueuedConnection);
    }
};

WasapiEnumerator::WasapiEnumerator(QObject *parent) : QObject(parent), d(new Impl(this))
{
    if (!d->server.connect(kServerMs))
        return;
    zua::pulse::Context::Lock lock(d->server);
    d->checkDefaults(false);
    d->connected = true;
    pa_context_set_subscribe_callback(d->server.context(), &Impl::onEvent, d.get());
    d->server.finish(pa_context_subscribe(d->server.context(),
                                          pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SOURCE |
                                                                 PA_SUBSCRIPTION_MASK_SERVER),
                                          nullptr, nullptr),
                     kServerMs);
}

WasapiEnumerator::~WasapiEnumerator()
{
    if (!d->connected)
        return;
    zua::pulse::Context::Lock lock(d->server);
    pa_context_set_subscribe_callback(d->server.context(), nullptr, nullptr);
}

bool WasapiEnumerator::connected() const
{
    return d->connected;
}

QVector<WasapiEnumerator::Device> WasapiEnumerator::captureDevices()
{
    QVector<Device> devices;
    if (!d->connected)
        return devices;
    struct Answer {
        zua::pulse::Context *server;
        QVector<Device> *devices;
    } answer{&d->server, &devices};
    zua::pulse::Context::Lock lock(d->server);
    d->server.finish(
        pa_context_get_source_info_list(
            d->server.context(),
            [](pa_context *, const pa_source_info *info, int eol, void *self) {
                auto *a = static_cast<Answer *>(self);
                if (!eol && info && info->monitor_of_sink == PA_INVALID_INDEX)
                    a->devices->append(
                        {QString::fromUtf8(info->name),
                         QString::fromUtf8(info->description ? info->description : info->name)});
                a->server->signal();
            },
            &answer),
        kServerMs);
    for (const Device &device : devices)
        std::printf("device_id: %s\ndevice_name: %s\n", qPrintable(device.first),
                    qPrintable(device.second));
    std::fflush(stdout);
    return devices;
}

void WasapiEnumerator::Update()
{
    emit DeviceCollectionChanged();
}

void WasapiEnumerator::OnDefaultInputDeviceChanged(QString)
{
    emit DefaultInputDeviceChanged();
}

void WasapiEnumerator::OnDefaultOutputDeviceChanged(QString)
{
    emit DefaultOutputDeviceChanged();
}
