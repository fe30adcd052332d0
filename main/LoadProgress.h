#pragma once
// Reading a project file with progress: a device over the file that reports how far
// the reader has come, and a progress window that appears when a load takes longer
// than a second and can cancel it.
// Lives on: main thread.

#include <QElapsedTimer>
#include <QFile>
#include <QPointer>

#include <functional>

class QProgressDialog;
class QWidget;

class LoadProgressDevice : public QIODevice {
public:
    // Told the share read so far (0..1000); answering false stops the reading (the
    // reader then meets an early end).
    using Report = std::function<bool(int permille)>;
    LoadProgressDevice(const QString &path, Report report);
    bool open(OpenMode mode) override;
    void close() override;
    bool isSequential() const override { return true; }
    bool stopped() const { return m_stopped; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QFile m_file;
    Report m_report;
    bool m_stopped = false;
};

// The window shown while a long project loads; Cancel stops the load.
class LoadProgressWindow {
public:
    explicit LoadProgressWindow(QWidget *parent, const QString &fileName);
    ~LoadProgressWindow();
    // Shows `permille` (after the first second); false once the user cancelled.
    bool report(int permille);

private:
    QPointer<QProgressDialog> m_dialog;
    QElapsedTimer m_clock;
    qint64 m_lastMs = -1;
};
