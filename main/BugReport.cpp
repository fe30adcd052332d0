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
#include <QProgressDialog>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace {

constexpr int kUploadWaitMs = 20000;

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
    return QString::fromStdString(info);
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
        // A dump cut short (the process ended before it was complete) is offered
        // as far as it goes.
        if (!QFileInfo::exists(dump) && QFileInfo::exists(dump + QStringLiteral(".part")))
            QFile::rename(dump + QStringLiteral(".part"), dump);
        if (QFileInfo::exists(dump))
            dumps << dump;
        else
            QFile::remove(marker.absoluteFilePath());
    }
    return dumps;
}

bool BugReport::isSecureAddress(const QString &address)
{
    const QUrl url(address);
    return url.isValid() && url.scheme() == QLatin1String("https") && !url.host().isEmpty();
}

QStringList BugReport::filesToSend(const QString &dump, bool withProject) const
{
    QStringList files{dump, crashedLog(dump)};
    const QString project =
        QString::fromStdString(bg::UserSettings::instance().get("autoSavePath", ""));
    if (withProject && !project.isEmpty() && QFileInfo::exists(project))
        files << project;
    return files;
}

QString BugReport::description(const QString &dump, bool withProject) const
{
    const QString name = appName();
    const QString version = QString::fromStdString(bg::AppInfo::instance().version());
    const QDateTime when = QFileInfo(dump).lastModified();
    const QString time = when.toString(QStringLiteral("yyyyMMdd_HHmmss"));
    const QJsonArray files = QJsonArray::fromStringList(filesToSend(dump, withProject));
    // Written field by field: the receiving side reads them in this order.
    const QList<QPair<const char *, QJsonValue>> fields{
        {"app_name", name},
        {"version", version},
        {"up_save_as", QStringLiteral("dump_%1_%2_%3").arg(name, version, time)},
        {"files", files},
        {"crash_time", time},
        {"up_url", endpoint()},
        {"up_ca", QString::fromStdString(bg::UserSettings::instance().get("bug_report_ca", ""))},
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

void BugReport::send(const QString &dump, bool withProject)
{
    const QString text = description(dump, withProject);
    BG_LOG_D("bug_report %s", qUtf8Printable(text));
    const std::string sealed = bg::Encoding::seal(text.toStdString(), sealKey());
    auto *uploader = new QProcess(this);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HTTP_PROXY"), QString());
    env.insert(QStringLiteral("HTTPS_PROXY"), QString());
    uploader->setProcessEnvironment(env);
    uploader->setProcessChannelMode(QProcess::MergedChannels);
    // The editor goes on meanwhile; the notice says what runs and can stop it.
    auto *notice =
        new QProgressDialog(ZTR("Mainwindow.sending"), ZTR("Mainwindow.noSendError"), 0, 0);
    notice->setWindowTitle(ZTR("Mainwindow.sending"));
    notice->setWindowModality(Qt::NonModal);
    notice->setMinimumDuration(0);
    auto *deadline = new QTimer(uploader);
    deadline->setSingleShot(true);
    auto finish = [this, uploader, notice, dump](const QString &why) {
        if (uploader->property("done").toBool())
            return;
        uploader->setProperty("done", true);
        QString result = why;
        if (result.isEmpty()) {
            const QString output = QString::fromLocal8Bit(uploader->readAll()).trimmed();
            const QString failed = QStringLiteral("[Failed]");
            result =
                output.contains(QLatin1String("[Success]")) ? ZTR("Mainwindow.sendSuccess")
                : output.startsWith(failed)
                    ? ZTR("Mainwindow.sendFailed")
                          .arg(output.mid(failed.size()).trimmed(), QDir::toNativeSeparators(dump))
                    : ZTR("Mainwindow.sendFailed").arg(output, QDir::toNativeSeparators(dump));
        }
        if (uploader->state() != QProcess::NotRunning)
            uploader->kill();
        notice->deleteLater();
        uploader->deleteLater();
        BG_LOG_E("bug_report %s", qUtf8Printable(result));
        emit sig_sent(result);
    };
    connect(uploader, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
            [finish] { finish(QString()); });
    connect(uploader, &QProcess::errorOccurred, this, [finish, uploader](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            finish(ZTR("Mainwindow.sendFailed").arg(uploader->errorString(), QString()));
    });
    connect(deadline, &QTimer::timeout, this, [finish, dump] {
        finish(ZTR("Mainwindow.sendFailed")
                   .arg(ZTR("Mainwindow.sendTimeout"), QDir::toNativeSeparators(dump)));
    });
    connect(notice, &QProgressDialog::canceled, this, [finish, dump] {
        finish(ZTR("Mainwindow.sendCancelled").arg(QDir::toNativeSeparators(dump)));
    });
    notice->show();
    deadline->start(kUploadWaitMs);
    // The sealed report goes through a pipe: a command line is readable by every
    // local user.
    uploader->start(uploaderPath(), {QStringLiteral("-")});
    uploader->write(QByteArray::fromStdString(sealed));
    uploader->closeWriteChannel();
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
    const QString where = QDir::toNativeSeparators(dump);
    if (!m_ask || !isSecureAddress(endpoint())) {
        // No address to send to (or not a secure one): only where the dump is kept.
        BG_LOG_D("bug_report kept: %s", qUtf8Printable(dump));
        MessageBox::inform(nullptr, ZKEY("MainWindow.error"),
                           ZTR("Mainwindow.crashKept").arg(appName(), where),
                           ZKEY("MainWindow.Ok"));
        return;
    }
    // Exactly what would be sent, and where; the project can be left out.
    const QStringList all = filesToSend(dump, true);
    const bool project = all.size() > filesToSend(dump, false).size();
    QStringList listed;
    for (const QString &file : all)
        listed << QStringLiteral("  • ") + QDir::toNativeSeparators(file);
    MessageSpec ask;
    ask.titleKey = ZKEY("MainWindow.error");
    ask.text = ZTR("MainWindow.errorHint").arg(appName()) + "\n\n" +
               ZTR("Mainwindow.sendList").arg(endpoint(), listed.join('\n'));
    ask.text += "\n" + ZTR("Mainwindow.logNote");
    if (project)
        ask.text += "\n" + ZTR("Mainwindow.projectNote");
    ask.buttonKeys =
        project ? QStringList{ZKEY("MainWindow.sendError"), ZKEY("Mainwindow.sendWithoutProject"),
                              ZKEY("Mainwindow.noSendError")}
                : QStringList{ZKEY("MainWindow.sendError"), ZKEY("Mainwindow.noSendError")};
    ask.defaultButton = 0;
    ask.escapeButton = ask.buttonKeys.size() - 1;
    const int answer = MessageBox::show(ask);
    if (answer == ask.escapeButton) {
        BG_LOG_D("bug_report canceled");
        return;
    }
    // The answer is told once, when it comes.
    auto told = std::make_shared<QMetaObject::Connection>();
    *told = connect(this, &BugReport::sig_sent, this, [told](const QString &result) {
        disconnect(*told);
        MessageBox::inform(nullptr, ZKEY("MainWindow.Hint"), result, ZKEY("MainWindow.Ok"));
    });
    send(dump, answer == 0);
}
