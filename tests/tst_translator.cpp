// Language files: the same keys in both, every key the code uses, and the file the
// language setting chooses.
#include "bridge/Bridge.h"
#include "common/MessageBox.h"
#include "common/Translate.h"
#include "common/ZuTransLator.h"
#include "render/compose/TransTranslate.h"
#include "support/Files.h"

#include <QApplication>
#include <QDirIterator>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
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
        const QString text = QString::fromUtf8(fixtures::readFile(path));
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
    void cleanup() { bg::UserSettings::instance().clear(); }
    void languageFilesHoldTheSameKeys()
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
    void everyKeyInTheCodeIsTranslated()
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
    void englishReadsAsEnglish()
    {
        // Every text the code shows in English is English: no Chinese, and no
        // identifier ("UpLevel", "Overlap_Cross") where a label belongs.
        const ZuTransLator en(kEnglish);
        const QRegularExpression chinese("[\\x{4e00}-\\x{9fff}]");
        const QRegularExpression identifier("^[A-Za-z]*([a-z][A-Z]|_)[A-Za-z_]*:?\\s*$");
        QStringList wrong;
        for (const QString &key : keysUsedInCode()) {
            const QString value = en.translate("", key.toUtf8());
            if (key != "Mainwindow.Title" && key != "MainWindow.Title" &&
                (value.contains(chinese) || value.contains(identifier)))
                wrong << key + "=" + value;
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(", ")));
        // Nor does the code show Chinese of its own past the language files.
        const QRegularExpression shown("set(?:ToolTip|Text|WindowTitle|PlaceholderText)\\("
                                       "QStringLiteral\\(\"[^\"]*[\\x{4e00}-\\x{9fff}]");
        QDirIterator it(ZUA_SOURCE_DIR, {"*.cpp"}, QDir::Files, QDirIterator::Subdirectories);
        QStringList literal;
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.contains("/tests/") || path.contains("/build"))
                continue;
            if (QString::fromUtf8(fixtures::readFile(path)).contains(shown))
                literal << path;
        }
        QVERIFY2(literal.isEmpty(), qPrintable(literal.join(", ")));
    }
    void messageButtonsShowTheirWholeText()
    {
        QTranslator *english = new ZuTransLator(kEnglish);
        QCoreApplication::installTranslator(english);
        MessageSpec ask;
        ask.titleKey = "MainWindow.error";
        ask.text = "A question";
        ask.buttonKeys = QStringList{"MainWindow.sendError", "Mainwindow.sendWithoutProject",
                                     "Mainwindow.noSendError"};
        QStringList cut;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            for (QPushButton *b : box->findChildren<QPushButton *>()) {
                const int text = b->fontMetrics().horizontalAdvance(b->text());
                if (b->contentsRect().width() < text)
                    cut << b->text();
            }
            box->reject();
        });
        MessageBox::show(ask);
        QCoreApplication::removeTranslator(english);
        delete english;
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(", ")));
    }
    void languageSettingChoosesTheFile_data()
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
    void languageSettingChoosesTheFile()
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
};

QTEST_MAIN(TestTranslator)
#include "tst_translator.moc"
