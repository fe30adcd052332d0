#pragma once
// Captures a sound device into a WAV file through wav::WavEncoder, packets written
// unchanged in the device's own format. The name keeps the role Windows Core Audio
// plays there; on Linux the desktop's sound server (PulseAudio) does the capture.
// Lives on: the thread that makes it (the record thread); packets arrive on the
// sound server's loop thread, and a reconnect thread opens the device and opens it
// again after it went away. Signals are emitted from those two threads.

#include <QObject>

#include <memory>
#include <stdexcept>
#include <string>

namespace wav {
class WavEncoder;
}

// A capture source that cannot be made; `code` is the server's error number.
class WASAPIError : public std::runtime_error {
public:
    WASAPIError(const char *message, int code) : std::runtime_error(message), code(code) {}
    int code;
};

class WASAPISource : public QObject {
    Q_OBJECT
public:
    enum SourceType { Input = 0, SystemOutput = 1, ProcessOutput = 2 };
    static constexpr int kRetryMs = 3000;

    // `deviceId` "default" follows the system's default microphone when the device
    // is opened. Throws WASAPIError when no sound server answers.
    WASAPISource(SourceType type, wav::WavEncoder *encoder, const std::string &deviceId);
    ~WASAPISource() override;
    // Starts opening the device (and opening it again when it went away). Called
    // once the receivers are connected: the signals come from other threads.
    void start();

    std::string deviceName() const;
    int sampleRate() const;

signals:
    // Capture started (again) on a device.
    void sig_activated();
    // Capture is not running: the device could not be opened, or it went away
    // (the source keeps trying to open it every kRetryMs).
    void sig_inActivated();
    // Kept for receivers that tell a device that can't be opened at all apart.
    void sig_initError();
    // The file stopped taking sound: `code` is the encoder's (wav::kDataFailed for a
    // full disk, wav::kSizeLimit). Sent once.
    void sig_writeFailed(int code);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
