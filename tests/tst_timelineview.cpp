// Timeline view: zoom levels and their exact scales.
#include "support/TimelineFixture.h"
#include "timeline/TimeLineGraphicsView.h"

#include <QScrollBar>
#include <QtTest>

class TestTimelineView : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_timeline = std::make_unique<fixtures::Timeline>();
        m_view = m_timeline->view.get();
        m_view->resize(800, 300);
        m_view->show();
    }
    void cleanup() { m_timeline.reset(); }
    void zoomLevelsAlwaysMeanTheSameScale()
    {
        const double start = m_view->horizontalScale();
        QCOMPARE(m_view->zoomLevel(), 12);
        QCOMPARE(start, 0.022518);
        QSignalSpy scales(m_view, &TimeLineGraphicsView::sig_scaleValue);
        QMap<int, double> seen;
        seen[12] = start;
        // Out to the last level and in to the first, remembering each level's scale.
        for (int level = 13; level <= 24; ++level) {
            m_view->zoomOut();
            seen[level] = m_view->horizontalScale();
        }
        for (int level = 23; level >= 0; --level) {
            m_view->zoomIn();
            QCOMPARE(m_view->zoomLevel(), level);
            if (seen.contains(level))
                QVERIFY(qFuzzyCompare(m_view->horizontalScale(), seen[level]));
            seen[level] = m_view->horizontalScale();
        }
        for (int level = 1; level <= 24; ++level) {
            m_view->zoomOut();
            QVERIFY2(qFuzzyCompare(m_view->horizontalScale(), seen[level]),
                     qPrintable(QString::number(level)));
        }
        QVERIFY(std::abs(seen[0] / start - 44.41) < 0.01);
        QVERIFY(std::abs(seen[24] / start - 0.000512) < 0.000001);
        QCOMPARE(scales.size(), 12 + 24 + 24);
        QCOMPARE(scales.last()[0].toInt(), 24);
        m_view->setZoomLevel(5);
        QCOMPARE(m_view->zoomLevel(), 5);
        QVERIFY(qFuzzyCompare(m_view->horizontalScale(), seen[5]));
    }

private:
    std::unique_ptr<fixtures::Timeline> m_timeline;
    TimeLineGraphicsView *m_view = nullptr;
};

QTEST_MAIN(TestTimelineView)

#include "tst_timelineview.moc"
