// The works page: the list of recent projects kept in the settings (newest ten,
// encoded), entries whose file is gone, renaming with its refusals, and removal.
#include "common/MessageBox.h"
#include "resource/HistoryItemWidget.h"
#include "resource/HistoryListView.h"

#include "bridge/UserSettings.h"
#include "support/EnglishTestMain.h"
#include "support/Files.h"

#include <QLabel>
#include <QLineEdit>
#include <QtTest>

namespace {

HistoryItemWidget *entry(HistoryListView &view, int row)
{
    return qobject_cast<HistoryItemWidget *>(view.indexWidget(view.model()->index(row, 0)));
}

void rename(HistoryItemWidget *item, const QString &name)
{
    item->startRename();
    auto *edit = item->findChild<QLineEdit *>("lineEdit_rename");
    edit->setText(name);
    item->slot_renameFinished();
}

} // namespace

class TestHistory : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        bg::UserSettings::instance().set("work.history", "");
        m_boxes.clear();
        MessageBox::setAnswerHook([this](const MessageSpec &box) {
            m_boxes << box.text;
            return 0;
        });
    }
    void newestTenSurviveARestart()
    {
        QStringList opened;
        {
            HistoryListView view;
            for (int i = 0; i < 12; ++i) {
                opened.prepend(project(QString("p%1.zua2").arg(i)));
                view.prependProject(opened.first());
            }
            QCOMPARE(view.projects(), opened);
            // Reopening moves it to the top instead of listing it twice.
            view.prependProject(opened[5]);
            QCOMPARE(view.projects().size(), 12);
            QCOMPARE(view.projects().first(), opened[5]);
            opened.move(5, 0);
        }
        HistoryListView again;
        QCOMPARE(again.projects(), opened.mid(0, 10));
        QVERIFY(entry(again, 0));
        // Stored encoded: the paths do not stand in the settings as they are.
        const std::string stored = bg::UserSettings::instance().get("work.history", "");
        QVERIFY(!QString::fromStdString(stored).contains("p11.zua2"));
    }
    void entriesShowTheirFileAndRename()
    {
        HistoryListView view;
        QSignalSpy opened(&view, &HistoryListView::signal_openProject);
        const QString gone = project("gone.zua2");
        const QString kept = project("kept.zua2");
        project("taken.zua2");
        QFile::remove(gone); // deleted behind the editor's back
        view.prependProject(gone);
        view.prependProject(kept);
        HistoryItemWidget *missing = entry(view, 1);
        QCOMPARE(missing->findChild<QLabel *>("label_proDateTime")->text(), QString("File missing"));

        HistoryItemWidget *item = entry(view, 0);
        rename(item, "Demo");
        QCOMPARE(item->projectPath(), m_dir.filePath("Demo.zua2"));
        QVERIFY(QFileInfo::exists(m_dir.filePath("Demo.zua2")));
        QVERIFY(!QFileInfo::exists(kept));
        rename(item, "Shout.ZUA2"); // kept as typed
        QCOMPARE(item->projectPath(), m_dir.filePath("Shout.ZUA2"));
        QVERIFY(m_boxes.isEmpty());
        rename(item, "a/b");
        rename(item, "taken");
        rename(missing, "anything");
        QCOMPARE(m_boxes.size(), 3);
        QVERIFY(m_boxes[0].startsWith("Names cannot contain special characters"));
        QVERIFY(m_boxes[1].startsWith("The object file already exists"));
        QVERIFY(m_boxes[2].startsWith("Works file does not exist"));
        QVERIFY(QFileInfo::exists(m_dir.filePath("Shout.ZUA2")));
        QVERIFY(item->findChild<QLineEdit *>("lineEdit_rename")->isHidden());

        // The link opens; a gone entry can still be removed.
        item->on_label_openProject_linkActivated(item->projectPath());
        QCOMPARE(opened.size(), 1);
        view.slot_removeProject(gone);
        QCOMPARE(view.projects(), QStringList{kept});
    }

private:
    QString project(const QString &name) { return fixtures::writeFile(m_dir.filePath(name), {}); }
    QTemporaryDir m_dir;
    QStringList m_boxes;
};

ZU_ENGLISH_TEST_MAIN(QApplication, TestHistory)

#include "tst_history.moc"
