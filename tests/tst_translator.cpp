// Language files, the key-based translator, Qt's own texts, and style sheets.
#include "bridge/Bridge.h"
#include "common/QssManager.h"
#include "common/QtTranslations.h"
#include "common/Translate.h"
#include "common/ZuTransLator.h"
#include "render/ShaderLibrary.h"
#include "render/preview/TransTranslate.h"

#include <QDirIterator>
#include <QRegularExpression>
#include <QWidget>
#include <QtTest>

namespace {
const QString kEnglish = ":/language/en-Us-new.ini";
const QString kChinese = ":/language/zh-cn-new.ini";

// Every key the editor's code and forms use.
QSet<QString> keysUsedInCode()
{
    QSet<QString> keys;
    const QRegularExpression inCode("\\b(?:ZTR|ZKEY)\\(\"([^\"]+)\"\\)");
    const QRegularExpression inForm("<string>([A-Za-z_-]+\\.[A-Za-z0-9_]+)</string>");
    QDirIterator it(ZUA_SOURCE_DIR, {"*.cpp", "*.h", "*.ui"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.contains("/tests/") || path.contains("/fuzz/") || path.contains("/build"))
            continue;
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        const QString text = QString::fromUtf8(f.readAll());
        const QRegularExpression &re = path.endsWith(".ui") ? inForm : inCode;
        auto m = re.globalMatch(text);
        while (m.hasNext())
            keys.insert(m.next().captured(1));
    }
    return keys;
}
} // namespace

class TestTranslator : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void languageFilesHoldTheSameKeys();
    void everyKeyInTheCodeIsTranslated();
    void languageSettingChoosesTheFile_data();
    void languageSettingChoosesTheFile();
    void missingKeyShowsAsItself();
    void qtsOwnTextsFollowTheLanguage();
    void transitionsHaveDisplayNames();
    void styleSheetsScaleWithTheScreen_data();
    void styleSheetsScaleWithTheScreen();
    void missingStyleSheetChangesNothing();
};

void TestTranslator::cleanup()
{
    bg::UserSettings::instance().clear();
}

void TestTranslator::languageFilesHoldTheSameKeys()
{
    const ZuTransLator en(kEnglish);
    const ZuTransLator zh(kChinese);
    QVERIFY(en.size() > 10);
    QStringList enKeys = en.keys(), zhKeys = zh.keys();
    enKeys.sort();
    zhKeys.sort();
    QCOMPARE(enKeys, zhKeys);
    for (const QString &key : enKeys) {
        QVERIFY2(!en.translate("", key.toUtf8()).isEmpty(), qPrintable(key));
        QVERIFY2(!zh.translate("", key.toUtf8()).isEmpty(), qPrintable(key));
    }
}

void TestTranslator::everyKeyInTheCodeIsTranslated()
{
    const ZuTransLator en(kEnglish);
    const QStringList fileKeys = en.keys();
    const QSet<QString> used = keysUsedInCode();
    QVERIFY(used.contains("Mainwindow.Title"));
    QStringList missing;
    for (const QString &key : used)
        if (!fileKeys.contains(key))
            missing << key;
    QVERIFY2(missing.isEmpty(), qPrintable("not in the language files: " + missing.join(", ")));
}

void TestTranslator::languageSettingChoosesTheFile_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("language");
    QTest::newRow("English") << "English"
                             << "ZuAEdit"
                             << "en";
    QTest::newRow("lower-case english is Chinese") << "english"
                                                   << "ZuAEdit 视频剪辑"
                                                   << "zh";
    QTest::newRow("default Chinese") << ""
                                     << "ZuAEdit 视频剪辑"
                                     << "zh";
}

void TestTranslator::languageSettingChoosesTheFile()
{
    QFETCH(QString, setting);
    QFETCH(QString, title);
    QFETCH(QString, language);
    if (!setting.isEmpty())
        bg::UserSettings::instance().set("IsEnglish", setting.toStdString());
    ZuTransLator translator;
    QVERIFY(QCoreApplication::installTranslator(&translator));
    QCOMPARE(ZTR("Mainwindow.Title"), title);
    QCOMPARE(ZTR("titlebar.OpenProjectSuccess").arg("a.zua2").endsWith("」"), true);
    QCOMPARE(bg::AppInfo::instance().value("language").toStdString(), language.toStdString());
    QCoreApplication::removeTranslator(&translator);
}

void TestTranslator::missingKeyShowsAsItself()
{
    ZuTransLator translator(kEnglish);
    QCoreApplication::installTranslator(&translator);
    QCOMPARE(ZTR("no.such.Key"), QString("no.such.Key"));
    QCOMPARE(ZTR("Mainwindow.restart").arg("/tmp/x.zua2"),
             QString("Detects that you have an unfinished project last time, whether to "
                     "continue?\n/tmp/x.zua2"));
    // A key that is a whole text with spaces, brackets and Chinese: the import
    // dialog's filter.
    const QString filter = zuaTranslate(
        QStringLiteral("全部(*.png *.bmp *.jpg *.jpeg *.mp3 *.wav *.wma *.m4a *.mp4 *.avi *.mkv "
                       "*.rmvb *.rm *.wmv *.flv *.mpg *.mov *.3gp *.gif);;视频(*.mp4 *.avi *.mkv "
                       "*.rmvb *.rm *.wmv *.flv *.mpg *.mov *.3gp *.gif *.ts);;音乐(*.mp3 *.wav "
                       "*.wma *.m4a);;图片(*.png *.bmp *.jpg *.jpeg)"));
    QVERIFY2(filter.startsWith("All files(*.png *.bmp"), qPrintable(filter));
    QVERIFY(filter.contains(";;Video(*.mp4") &&
            filter.endsWith(";;Image(*.png *.bmp *.jpg *.jpeg)"));
    QCoreApplication::removeTranslator(&translator);
}

void TestTranslator::styleSheetsScaleWithTheScreen_data()
{
    QTest::addColumn<QString>("css");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QString>("expected");
    const QString css = "QLabel{font-size:14px;border:1px solid #123;margin:0 20px}";
    QTest::newRow("96 dpi unchanged") << css << 1.0 << css;
    QTest::newRow("below 96 dpi unchanged") << css << 0.75 << css;
    QTest::newRow("120 dpi") << css << 1.25
                             << "QLabel{font-size:17.5px;border:1.25px solid #123;margin:0 25px}";
    QTest::newRow("144 dpi") << "a{border:1px}" << 1.5 << "a{border:1.5px}";
    QTest::newRow("six significant digits")
        << "a{width:1px}" << 1.3333333333 << "a{width:1.33333px}";
}

void TestTranslator::styleSheetsScaleWithTheScreen()
{
    QFETCH(QString, css);
    QFETCH(double, scale);
    QFETCH(QString, expected);
    QCOMPARE(QssManager::scaleStyleSheet(css, scale), expected);
}

void TestTranslator::missingStyleSheetChangesNothing()
{
    QWidget widget;
    widget.setStyleSheet("QWidget{color:red}");
    QssManager manager(&widget);
    QVERIFY(!manager.loadStyleSheet(":/qss/no-such.css"));
    QCOMPARE(widget.styleSheet(), QString("QWidget{color:red}"));
    QVERIFY(manager.loadStyleSheet(":/qss/main-window.css"));
    QVERIFY(widget.styleSheet().contains("#widget_title"));
}

void TestTranslator::transitionsHaveDisplayNames()
{
    // Every transition program has exactly one catalogue entry.
    const TransTranslate &catalogue = TransTranslate::instance();
    QStringList programs;
    for (const auto &entry : catalogue.entries())
        programs << entry.first;
    QStringList sortedPrograms = programs;
    sortedPrograms.sort();
    QStringList transitions = ShaderLibrary::transitionNames();
    transitions.sort();
    QCOMPARE(sortedPrograms, transitions);
    QCOMPARE(programs.first(), QString("clip_cross")); // the gallery's order starts here
    QVERIFY(catalogue.keyOf("rgba_base").isEmpty());

    bg::UserSettings::instance().set("IsEnglish", "English");
    {
        ZuTransLator translator;
        QVERIFY(QCoreApplication::installTranslator(&translator));
        QCOMPARE(catalogue.nameOf("clip_open"), QString("Barn Doors"));
        QCOMPARE(catalogue.nameOf("scale_in"), QString("Iris Centre"));
        QCOMPARE(catalogue.nameOf("over_black"), QString("Overlap_Black"));
        QCOMPARE(catalogue.nameOf("rgba_base"), QString("rgba_base"));
        QCoreApplication::removeTranslator(&translator);
    }
    bg::UserSettings::instance().set("IsEnglish", "Chinese");
    ZuTransLator translator;
    QVERIFY(QCoreApplication::installTranslator(&translator));
    QCOMPARE(catalogue.nameOf("clip_winshades"), QString::fromUtf8("百叶窗"));
    QCoreApplication::removeTranslator(&translator);
}

void TestTranslator::qtsOwnTextsFollowTheLanguage()
{
    // Standard buttons and the file dialog's words, as a Chinese user sees them.
    auto cancel = [] { return QCoreApplication::translate("QPlatformTheme", "Cancel"); };
    QVERIFY(qttranslations::install(false));
    QCOMPARE(cancel(), QString::fromUtf8("取消"));
    QCOMPARE(QCoreApplication::translate("QFileDialog", "File &name:"),
             QString::fromUtf8("文件名称(&N)："));
    QVERIFY(qttranslations::install(true));
    QCOMPARE(cancel(), QString("Cancel"));
}

QTEST_MAIN(TestTranslator)
#include "tst_translator.moc"
