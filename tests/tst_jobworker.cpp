// The background worker the materials' previews, pictures and proxies share: jobs run
// one at a time in queue order, the owner's changes to the queue are seen by the
// worker, and stopping never leaves a job half-known.
#include "common/JobWorker.h"

#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

Q_DECLARE_METATYPE(std::vector<int>)

namespace {

// A job that can be held running until the test lets it go.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = true;
    std::vector<int> ran;
    void close()
    {
        std::lock_guard<std::mutex> lock(mutex);
        open = false;
    }
    void release()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            open = true;
        }
        changed.notify_all();
    }
    void pass(int job)
    {
        std::unique_lock<std::mutex> lock(mutex);
        ran.push_back(job);
        changed.notify_all();
        changed.wait(lock, [this] { return open; });
    }
    bool waitStarted(size_t count)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10),
                                [&] { return ran.size() >= count; });
    }
    std::vector<int> seen()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return ran;
    }
};

// A worker whose first job is held running until the gate opens.
struct HeldWorker {
    Gate gate;
    std::atomic<int> ended{0};
    JobWorker<int> worker{[this](const int &job) {
        gate.pass(job);
        ++ended;
    }};
    explicit HeldWorker(int first)
    {
        worker.start();
        gate.close();
        worker.add(first);
    }
};

} // namespace

class TestJobWorker : public QObject {
    Q_OBJECT
private slots:
    void jobsRunInQueueOrder_data()
    {
        QTest::addColumn<std::vector<int>>("added");
        QTest::addColumn<int>("urgent"); // jobs below this go before the others, -1: none
        QTest::addColumn<std::vector<int>>("ran");
        QTest::newRow("in turn") << std::vector<int>{1, 2, 3, 4} << -1
                                 << std::vector<int>{0, 1, 2, 3, 4};
        // While job 0 holds the worker, urgent jobs (< 10) overtake the queued others
        // but keep their own order.
        QTest::newRow("urgent first")
            << std::vector<int>{20, 3, 21, 4} << 10 << std::vector<int>{0, 3, 4, 20, 21};
    }
    void jobsRunInQueueOrder()
    {
        QFETCH(std::vector<int>, added);
        QFETCH(int, urgent);
        QFETCH(std::vector<int>, ran);
        HeldWorker held(0);
        JobWorker<int> &worker = held.worker;
        QVERIFY(held.gate.waitStarted(1));
        for (int job : added)
            if (urgent >= 0 && job < urgent)
                worker.add(job, [urgent](const int &queued) { return queued >= urgent; });
            else
                worker.add(job);
        QCOMPARE(worker.pending(), int(added.size()) + 1);
        held.gate.release();
        worker.waitUntilIdle();
        QCOMPARE(worker.pending(), 0);
        QCOMPARE(held.gate.seen(), ran);
    }
    void theOwnerSeesAndChangesTheQueue()
    {
        HeldWorker held(7);
        JobWorker<int> &worker = held.worker;
        QVERIFY(held.gate.waitStarted(1));
        worker.add(8);
        worker.add(9);
        const int running = worker.withQueue([](JobWorker<int>::Queue queue) {
            queue.queued.erase(queue.queued.begin()); // 8 is dropped before it runs
            return queue.running ? *queue.running : -1;
        });
        QCOMPARE(running, 7);
        held.gate.release();
        worker.waitUntilIdle();
        QCOMPARE(held.gate.seen(), (std::vector<int>{7, 9}));
    }
    void stoppingDropsTheQueueAndWaitsForTheRunningJob()
    {
        HeldWorker held(1);
        JobWorker<int> &worker = held.worker;
        worker.add(2);
        QVERIFY(held.gate.waitStarted(1));
        std::thread releaser([&held] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            held.gate.release();
        });
        worker.stop(); // returns only once job 1 has ended
        QCOMPARE(held.ended.load(), 1);
        releaser.join();
        worker.add(3); // nothing runs after a stop
        worker.waitUntilIdle();
        QCOMPARE(held.gate.seen(), (std::vector<int>{1}));
        QVERIFY(worker.stopping());
    }
    void idleTimeMayQueueWork()
    {
        Gate gate;
        JobWorker<int> worker([&gate](const int &job) { gate.pass(job); });
        int idleCalls = 0; // on the worker, under its lock
        worker.onIdle(std::chrono::milliseconds(10), [&idleCalls](std::deque<int> &queue) {
            if (++idleCalls == 3)
                queue.push_back(42);
        });
        worker.start();
        QVERIFY(gate.waitStarted(1));
        QCOMPARE(gate.seen(), (std::vector<int>{42}));
    }
};

QTEST_GUILESS_MAIN(TestJobWorker)
#include "tst_jobworker.moc"
