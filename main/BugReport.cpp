#include "BugReport.h"
#include "CrashReportKey.h"

#include "bridge/AppInfo.h"
#include "bridge/Encoding.h"
#include "bridge/Logger.h"
#include "bridge/UserSettings.h"
#include "common/MessageBox.h"
#include "common/Translate.h"
#include "crash/CrashHandler.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QProcess>
#include <QProcessEnvironment>

namespace {

constexpr const char *kDefaultEndpoint = "http://127.0.0.1:9/zuaedit/bug-report";
constexpr int kUploadWaitMs = 30000;

QString appName()
{
    const std::string name = bg::AppInfo::instance().appName();
    return name.empty() ? QStringLiteral("ZuAEdit") : QString::fromStdString(name);
}

QString json(const QJsonValue &v)
{
    // A one-element array's text, without its brackets: the value's own JSON form.
    const QByteArray text = QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(text.mid(1, text.size() - 2));
}

// The log the crashed run wrote: the newest log file not younger than the dump.
QString crashedLog(const QString &dump)
{
    const QFileInfo current(QString::fromStdString(bg::Logger::instance().logFilePath()));
    const QDateTime crashed = QFileInfo(dump).lastModified().addSecs(5);
    for (const QFileInfo &log :
         QDir(current.absolutePath())
             .entryInfoList({QStringLiteral("*.log")}, QDir::Files, QDir::Time))
        if (log.lastModified() <= crashed && log.absoluteFilePath() != current.absoluteFilePath())
            return log.absoluteFilePath();
    return current.absoluteFilePath();
}

} // namespace

BugReport *BugReport::instance()
{
    static BugReport *report = new BugReport;
    return report;
}

QString BugReport::crashFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty())
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/ZuAEdit/crashes");
}

QString BugReport::uploaderPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/zuaedit-bugreport");
}

QString BugReport::endpoint()
{
    const std::string chosen = bg::UserSettings::instance().get("bug_report", "");
    if (!chosen.empty())
        return QString::fromStdString(chosen);
    const std::string info = bg::AppInfo::instance().value("bug_report").toStdString("");
    return info.empty() ? QString::fromLatin1(kDefaultEndpoint) : QString::fromStdString(info);
}

const char *BugReport::sealKey()
{
    return kCrashReportKey;
}

void BugReport::enable(bool ask)
{
    m_ask = ask;
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // Sanitizer builds keep the sanitizer's own report of a crash.
    return;
#endif
    // The folder keeps the newest dumps only.
    constexpr int kKept = 10;
    const QFileInfoList dumps =
        QDir(crashFolder()).entryInfoList({QStringLiteral("*.dmp")}, QDir::Files, QDir::Time);
    for (int i = kKept; i < dumps.size(); ++i) {
        QFile::remove(dumps[i].absoluteFilePath());
        QFile::remove(dumps[i].absoluteFilePath() + QStringLiteral(".pending"));
    }
    const QString helper =
        QCoreApplication::applicationDirPath() + QStringLiteral("/zuaedit-crashdump");
    if (!zua::crash::install(crashFolder().toStdString(), appName().toStdString(),
                             QFileInfo::exists(helper) ? helper.toStdString() : std::string()))
        BG_LOG_W("---> crash reports are off: %s cannot be made", qUtf8Printable(crashFolder()));
}

QStringList BugReport::pendingDumps()
{
    QStringList dumps;
    const QFileInfoList markers = QDir(crashFolder())
                                      .entryInfoList({QStringLiteral("*.dmp.pending")}, QDir::Files,
                                                     QDir::Time | QDir::Reversed);
    for (const QFileInfo &marker : markers) {
        const QString dump = marker.absoluteFilePath().chopped(8);
        if (QFileInfo::exists(dump))
            dumps << dump;
        else
            QFile::remove(marker.absoluteFilePath());
    }
    return dumps;
}

QString BugReport::description(const QString &dump) const
{
    const QString name = appName();
    const QString version = QString::fromStdString(bg::AppInfo::instance().version());
    const QDateTime when = QFileInfo(dump).lastModified();
    const QString time = when.toString(QStringLiteral("yyyyMMdd_HHmmss"));
    const QJsonArray files{
        dump, crashedLog(dump),
        QString::fromStdString(bg::UserSettings::instance().get("autoSavePath", "")),
        QString::fromStdString(bg::UserSettings::instance().filePath())};
    // Written field by field: the receiving side reads them in this order.
    const QList<QPair<const char *, QJsonValue>> fields{
        {"app_name", name},
        {"version", version},
        {"up_save_as", QStringLiteral("dump_%1_%2_%3").arg(name, version, time)},
        {"files", files},
        {"crash_time", time},
        {"up_url", endpoint()},
        {"up_secret_key", QString()},
        {"up_access_key", QString()},
        {"pts", double(QDateTime::currentSecsSinceEpoch() + 3600)},
        {"sign", QStringLiteral("xxx")}};
    QStringList lines;
    for (const auto &field : fields)
        lines
            << QStringLiteral("    \"%1\": %2").arg(QLatin1String(field.first), json(field.second));
    return "{\n" + lines.join(",\n") + "\n}\n";
}

QString BugReport::send(const QString &dump)
{
    const QString text = description(dump);
    BG_LOG_D("bug_report %s", qUtf8Printable(text));
    const std::string sealed = bg::Encoding::seal(text.toStdString(), sealKey());
    QProcess uploader;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HTTP_PROXY"), QString());
    env.insert(QStringLiteral("HTTPS_PROXY"), QString());
    uploader.setProcessEnvironment(env);
    uploader.setProcessChannelMode(QProcess::MergedChannels);
    uploader.start(uploaderPath(), {QString::fromStdString(sealed)});
    if (!uploader.waitForStarted(5000))
        return ZTR("Mainwindow.sendFailed")
            .arg(uploader.errorString(), QDir::toNativeSeparators(dump));
    uploader.waitForFinished(kUploadWaitMs);
    const QString output = QString::fromLocal8Bit(uploader.readAll()).trimmed();
    if (uploader.state() != QProcess::NotRunning)
        uploader.kill();
    const QString failed = QStringLiteral("[Failed]");
    const QString result =
        output.contains(QLatin1String("[Success]")) ? ZTR("Mainwindow.sendSuccess")
        : output.startsWith(failed)
            ? ZTR("Mainwindow.sendFailed")
                  .arg(output.mid(failed.size()).trimmed(), QDir::toNativeSeparators(dump))
            : output;
    BG_LOG_E("bug_report %s", qUtf8Printable(result));
    return result;
}

void BugReport::offerPendingReport()
{
    const QStringList dumps = pendingDumps();
    if (dumps.isEmpty())
        return;
    // Only the newest crash is offered; the markers go either way.
    for (const QString &dump : dumps)
        QFile::remove(dump + QStringLiteral(".pending"));
    const QString dump = dumps.last();
    if (m_ask) {
        MessageSpec ask;
        ask.titleKey = ZKEY("MainWindow.error");
        ask.text = ZTR("MainWindow.errorHint").arg(appName());
        ask.buttonKeys = QStringList{ZKEY("MainWindow.sendError"), ZKEY("Mainwindow.noSendError")};
        ask.defaultButton = 0;
        ask.escapeButton = 1;
        if (MessageBox::show(ask) != 0) {
            BG_LOG_D("bug_report canceled");
            return;
        }
    }
    MessageBox::inform(nullptr, ZKEY("MainWindow.Hint"), send(dump), ZKEY("MainWindow.Ok"));
}
