#include "Entry.h"

#include "AutoSaveOwners.h"
#include "BugReport.h"
#include "MainWindow.h"
#include "ProjectDocument.h"
#include "TerminationRequest.h"
#include "ZuApp.h"
#include "common/MessageBox.h"
#include "common/QtTranslations.h"
#include "common/Translate.h"
#include "common/ZuTransLator.h"
#include "render/RenderTypes.h"

#include "bridge/Bridge.h"

#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

void zuaFillAppInfo()
{
    bg::AppInfo &info = bg::AppInfo::instance();
    // The online services are not reachable from this build; the endpoint stays local.
    info.setValue("host", bg::Value("http://127.0.0.1"));
    info.setValue("channel_id", bg::Value(int32_t(0)));
    info.setValue("product_type", bg::Value(int32_t(2000)));
    info.setVersion("3.0.2");
    info.setAppName("RuZOVaza");
    info.setBuildDate("2025.04.21");
}

namespace {

void bridgeAtExit()
{
    bg::atExit();
}

// Offers to continue the project whose auto-save survived the last run.
void askRecovery(ZuApp *app, const QString &autoSavePath)
{
    BG_LOG_D("---> offering to recover the auto-save: %s", qUtf8Printable(autoSavePath));
    MessageSpec box;
    box.titleKey = ZKEY("MainWindow.Hint");
    box.text = ZTR("Mainwindow.restart").arg(autoSavePath);
    box.buttonKeys = QStringList{ZKEY("Mainwindow.continue"), ZKEY("Mainwindow.discard")};
    box.defaultButton = 0;
    box.escapeButton = 1;
    app->document()->recoverAutoSave(MessageBox::show(box) == 0, autoSavePath);
}

// The editor's run: application object, translators, window, event loop. A restart
// asked for during the run is handed back in `restart`.
int runEditor(int argc, char **argv, QStringList *restart)
{
    ZuApp app(argc, argv);
    int code = -1;
    {
        auto translator = std::make_unique<ZuTransLator>();
        app.setEnglish(bg::UserSettings::instance().get("IsEnglish", "简体中文") == "English");
        const bool installed = QCoreApplication::installTranslator(translator.get());
        BG_LOG_D("---> translator installed: %d", int(installed));
        if (!qttranslations::install(app.isEnglish()))
            BG_LOG_W("---> Qt's own translation not found in %s",
                     qUtf8Printable(qttranslations::folder()));

        if (app.isSecondary()) {
            // Another editor runs: it comes to the front (opening the project this launch
            // was given, if any), and this process ends without touching its files.
            const QStringList args = app.arguments();
            const QString project =
                args.size() > 1 ? QFileInfo(args.at(1)).absoluteFilePath() : QString();
            app.sendMessage(project.isEmpty() ? QByteArrayLiteral("raise")
                                              : "open:" + project.toUtf8());
            BG_LOG_D("---> another editor is running: handed over to it");
            return -1;
        }
        if (!app.init())
            return -1;
        BugReport::instance()->enable(true);
        QObject::connect(&app, &SingleApplication::receivedMessage, &app,
                         [&app](quint32, const QByteArray &message) { app.handOver(message); });
        // A termination request closes the window the usual way (asking to save).
        TerminationRequest terminate([&app] {
            if (QWidget *window = app.mainWindow())
                window->close();
            else
                app.quit();
        });

        // Auto-saves whose editor is gone are offered, one after another; those of an
        // editor still running (in another login session) are not this one's to touch.
        // A project given on the command line opens after the questions.
        const QStringList args = app.arguments();
        const QString given = args.size() > 1 ? args.at(1) : QString();
        auto openGiven = [&app, given] {
            const QFileInfo file(given);
            if (!given.isEmpty() && file.isFile() &&
                (file.suffix() == "zua" || file.suffix() == "zua2"))
                app.document()->openProject(given);
        };
        const QStringList orphaned = AutoSaveOwners::orphaned();
        if (!orphaned.isEmpty()) {
            app.document()->setRecoveryPending(true);
            QTimer::singleShot(800, &app, [&app, orphaned, openGiven] {
                BugReport::instance()->offerPendingReport();
                for (const QString &autoSave : orphaned)
                    askRecovery(&app, autoSave);
                openGiven();
            });
        } else {
            QTimer::singleShot(800, &app, [] { BugReport::instance()->offerPendingReport(); });
            openGiven();
        }
        code = app.exec();
        *restart = app.restartCommand();
        // The translator is destroyed before the application object.
    }
    return code;
}

} // namespace

bool zuaHasDisplay()
{
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

int zuaMain(int argc, char **argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--uninstall") == 0) {
        bg::UserSettings::instance().clear();
        bg::UserSettings::instance().save();
        BG_LOG_E("------ uninstall: 卸载，清除配置");
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--install") == 0) {
        BG_LOG_E("------ install: 安装后第一次运行");
        return 0;
    }
    if (!zuaHasDisplay()) {
        std::fprintf(stderr, "ZuAEdit needs a graphical display: no DISPLAY or WAYLAND_DISPLAY "
                             "is set. Run it on a desktop, or under xvfb-run.\n");
        return 2;
    }

    bg::InitBridge(argc, argv);
    std::atexit(bridgeAtExit);
    zuaFillAppInfo();
    registerRenderMetaTypes();

    QStringList restart;
    const int code = runEditor(argc, argv, &restart);
    // Started once this editor (and its single-instance guard) is gone.
    if (!restart.isEmpty())
        QProcess::startDetached(restart.takeFirst(), restart);
    return code;
}
