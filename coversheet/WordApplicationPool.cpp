#include "WordApplicationPool.h"

#include "WordEngine.h"

#include <utility>

namespace velmora {

using Clock = std::chrono::steady_clock;

// What the pool's threads and the instances it handed out share; it outlives the pool
// while any of them still runs.
struct WordApplicationPool::Shared {
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::deque<std::unique_ptr<WordConnection>> ready;
    std::deque<std::unique_ptr<WordConnection>> quitting;  // handed back, to be ended
    int target = 0;
    Readiness readiness = Readiness::Warmed;
    int starting = 0;
    int outstanding = 0;  // handed out and not yet quit
    bool startFailed = false;
    bool stopping = false;
    Clock::time_point lastUse = Clock::now();

    bool settled() const { return starting == 0 && quitting.empty(); }
};

// An instance as handed out: the caller's calls go straight to it; its quit() is passed to
// the pool's thread, which ends it while the caller goes on.
class WordApplicationPool::Handed final : public WordConnection {
public:
    Handed(std::unique_ptr<WordConnection> connection, std::shared_ptr<Shared> shared,
           bool quitInBackground)
        : connection_(std::move(connection)),
          shared_(std::move(shared)),
          quitInBackground_(quitInBackground) {}

    ~Handed() override {
        if (!connection_) return;
        connection_.reset();  // ends the instance, as an unpooled connection would
        const std::lock_guard lock(shared_->mutex);
        --shared_->outstanding;
        shared_->lastUse = Clock::now();
        shared_->changed.notify_all();
    }

    void documentsOpen(const QString& fileName, bool readOnly) override {
        use().documentsOpen(fileName, readOnly);
    }
    void setBookmarkText(const QString& name, const QString& value) override {
        use().setBookmarkText(name, value);
    }
    void fieldsUpdate() override { use().fieldsUpdate(); }
    void saveAs(const QString& fileName) override { use().saveAs(fileName); }
    void exportAsPdf(const QString& fileName) override { use().exportAsPdf(fileName); }
    void saveAsDocx(const QString& fileName) override { use().saveAsDocx(fileName); }
    void setDisplayAlerts(bool value) override { use().setDisplayAlerts(value); }
    void close() override { use().close(); }
    void closeWithoutSaving() override { use().closeWithoutSaving(); }
    QImage copyAsPicture() override { return use().copyAsPicture(); }
    bool alive() override { return connection_ && connection_->alive(); }
    void warmUp() override { use().warmUp(); }

    void quit() override {
        if (!connection_) return;
        if (!quitInBackground_) {
            connection_->quit();
            connection_.reset();
        }
        const std::lock_guard lock(shared_->mutex);
        if (connection_) shared_->quitting.push_back(std::move(connection_));
        --shared_->outstanding;
        shared_->lastUse = Clock::now();
        shared_->changed.notify_all();
    }

private:
    WordConnection& use() {
        if (!connection_) throw WordError(QStringLiteral("The office has been ended."));
        return *connection_;
    }

    std::unique_ptr<WordConnection> connection_;
    const std::shared_ptr<Shared> shared_;
    const bool quitInBackground_;
};

WordApplicationPool::WordApplicationPool() : WordApplicationPool(Options{}) {}

WordApplicationPool::WordApplicationPool(Options options)
    : options_([&] {
          if (!options.start) options.start = StartWordApplication;
          return std::move(options);
      }()),
      shared_(std::make_shared<Shared>()),
      replacer_([this] { replacerLoop(); }) {}

WordApplicationPool::~WordApplicationPool() {
    std::deque<std::unique_ptr<WordConnection>> idle;
    {
        std::unique_lock lock(shared_->mutex);
        shared_->stopping = true;
        shared_->target = 0;
        shared_->changed.notify_all();
        // A start cannot be broken off; its instance is ended below with the others.
        shared_->changed.wait(lock, [&] { return shared_->starting == 0; });
        idle.swap(shared_->ready);
    }
    replacer_.join();
    for (auto& connection : idle) connection->quit();
}

void WordApplicationPool::keepReady(int count, Readiness readiness) {
    std::unique_lock lock(shared_->mutex);
    shared_->target = count;
    shared_->readiness = readiness;
    startMissing(lock);
}

void WordApplicationPool::startMissing(std::unique_lock<std::mutex>& lock) {
    while (!shared_->stopping && !shared_->startFailed &&
           int(shared_->ready.size()) + shared_->starting < shared_->target)
        startOne(lock);
}

void WordApplicationPool::startOne(std::unique_lock<std::mutex>&) {
    ++shared_->starting;
    // Detached: the thread keeps what it uses alive, and the pool's destructor waits for it
    // to deliver its instance.
    std::thread([shared = shared_, start = options_.start, readiness = shared_->readiness] {
        std::unique_ptr<WordConnection> connection;
        try {
            connection = start();
            if (readiness == Readiness::Warmed) connection->warmUp();
        } catch (...) {
            connection.reset();
            // The caller that needs an instance starts one itself and reports its error.
        }
        const std::lock_guard lock(shared->mutex);
        if (connection)
            shared->ready.push_back(std::move(connection));
        else
            shared->startFailed = true;
        --shared->starting;
        shared->changed.notify_all();
    }).detach();
}

std::unique_ptr<WordConnection> WordApplicationPool::take() {
    std::unique_lock lock(shared_->mutex);
    shared_->lastUse = Clock::now();
    for (;;) {
        while (!shared_->ready.empty()) {
            std::unique_ptr<WordConnection> connection = std::move(shared_->ready.front());
            shared_->ready.pop_front();
            lock.unlock();
            if (connection->alive()) return handOver(std::move(connection));
            connection.reset();  // an instance that died while idle is ended, never handed out
            lock.lock();
        }
        if (shared_->starting == 0) break;
        // Rather than a third instance, the one already on its way.
        shared_->changed.wait(lock,
                              [&] { return !shared_->ready.empty() || shared_->starting == 0; });
    }
    ++shared_->outstanding;
    lock.unlock();
    std::unique_ptr<WordConnection> connection;
    try {
        connection = options_.start();
    } catch (...) {
        lock.lock();
        --shared_->outstanding;
        shared_->changed.notify_all();
        throw;
    }
    lock.lock();
    shared_->startFailed = false;
    --shared_->outstanding;
    lock.unlock();
    return handOver(std::move(connection));
}

std::unique_ptr<WordConnection> WordApplicationPool::handOver(
    std::unique_ptr<WordConnection> connection) {
    {
        const std::lock_guard lock(shared_->mutex);
        ++shared_->outstanding;
        shared_->lastUse = Clock::now();
    }
    return std::make_unique<Handed>(std::move(connection), shared_, options_.quitInBackground);
}

// Ends the instances handed back, and starts replacements once nothing is in use and the
// program has been quiet for a while.
void WordApplicationPool::replacerLoop() {
    std::unique_lock lock(shared_->mutex);
    for (;;) {
        if (!shared_->quitting.empty()) {
            std::unique_ptr<WordConnection> connection = std::move(shared_->quitting.front());
            lock.unlock();
            connection->quit();
            connection.reset();
            lock.lock();
            shared_->quitting.pop_front();
            shared_->changed.notify_all();
            continue;
        }
        if (shared_->stopping) return;
        const bool missing = !shared_->startFailed &&
                             int(shared_->ready.size()) + shared_->starting < shared_->target;
        if (!missing || shared_->outstanding > 0) {
            shared_->changed.wait(lock);
            continue;
        }
        const auto due = shared_->lastUse + options_.replaceDelay;
        if (Clock::now() < due) {
            shared_->changed.wait_until(lock, due);
            continue;
        }
        startMissing(lock);
    }
}

int WordApplicationPool::readyCount() const {
    const std::lock_guard lock(shared_->mutex);
    return int(shared_->ready.size());
}

int WordApplicationPool::startingCount() const {
    const std::lock_guard lock(shared_->mutex);
    return shared_->starting;
}

void WordApplicationPool::waitUntilSettled() const {
    std::unique_lock lock(shared_->mutex);
    shared_->changed.wait(lock, [&] { return shared_->settled(); });
}

}  // namespace velmora
