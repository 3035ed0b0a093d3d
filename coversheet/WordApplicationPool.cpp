#include "WordApplicationPool.h"

#include <set>
#include <stdexcept>
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
    int checking = 0;     // idle instances being asked whether they answer
    int outstanding = 0;  // handed out and not yet quit
    bool startFailed = false;
    std::exception_ptr startError;  // why the last start ahead failed
    bool stopping = false;
    bool aborted = false;                   // abortAll: nothing more is handed out
    std::set<WordConnection*> inUse;        // handed out, what abortAll ends
    std::vector<std::future<void>> starts;  // the starting threads, joined once done
    Clock::time_point lastUse = Clock::now();
    Clock::time_point lastCheck = Clock::now();

    bool settled() const { return starting == 0 && checking == 0 && quitting.empty(); }
};

// An instance as handed out: the caller's calls go straight to it; its quit() is passed to
// the pool's thread, which ends it while the caller goes on. While it is out, the pool can end
// it at once (abortAll).
class WordApplicationPool::Handed final : public WordConnection {
public:
    // Counted as outstanding by the caller already.
    Handed(std::unique_ptr<WordConnection> connection, std::shared_ptr<Shared> shared,
           bool quitInBackground)
        : connection_(std::move(connection)),
          shared_(std::move(shared)),
          quitInBackground_(quitInBackground) {
        const std::lock_guard lock(shared_->mutex);
        shared_->inUse.insert(connection_.get());
        if (shared_->aborted) connection_->abort();
    }

    ~Handed() override {
        if (!connection_) return;
        giveBack();
        connection_.reset();  // ends the instance, as an unpooled connection would
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
    void addToPageCount(int pages) override { use().addToPageCount(pages); }
    void setDisplayAlerts(bool value) override { use().setDisplayAlerts(value); }
    void limitWork(const OfficeWorkLimits& limits) override { use().limitWork(limits); }
    void close() override { use().close(); }
    void closeWithoutSaving() override { use().closeWithoutSaving(); }
    QImage copyAsPicture() override { return use().copyAsPicture(); }
    bool alive() override { return connection_ && connection_->alive(); }
    void warmUp() override { use().warmUp(); }
    void abort() noexcept override {
        if (connection_) connection_->abort();
    }

    void quit() override {
        if (!connection_) return;
        if (!quitInBackground_) {
            giveBack();
            connection_->quit();
            connection_.reset();
            return;
        }
        const std::lock_guard lock(shared_->mutex);
        shared_->inUse.erase(connection_.get());
        shared_->quitting.push_back(std::move(connection_));
        returned(lock);
    }

private:
    WordConnection& use() {
        if (!connection_) throw WordError(QStringLiteral("The office has been ended."));
        return *connection_;
    }
    // No longer the pool's to end, nor counted as in use.
    void giveBack() {
        const std::lock_guard lock(shared_->mutex);
        shared_->inUse.erase(connection_.get());
        returned(lock);
    }
    void returned(const std::lock_guard<std::mutex>&) {
        --shared_->outstanding;
        shared_->lastUse = Clock::now();
        shared_->changed.notify_all();
    }

    std::unique_ptr<WordConnection> connection_;
    const std::shared_ptr<Shared> shared_;
    const bool quitInBackground_;
};

WordApplicationPool::WordApplicationPool(Options options)
    : options_([&] {
          if (!options.start) throw std::invalid_argument("an office pool needs a start function");
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
    // Every start has delivered its instance by now; their threads end.
    shared_->starts.clear();
    // All at once, so that offices that no longer answer cost one short wait, not one each.
    std::vector<std::thread> enders;
    for (auto& connection : idle) enders.emplace_back([&connection] { connection->quit(); });
    for (std::thread& ender : enders) ender.join();
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
    // Threads of starts that have delivered are joined here, the rest by the destructor.
    std::erase_if(shared_->starts, [](const std::future<void>& start) {
        return start.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    });
    shared_->starts.push_back(
        std::async(std::launch::async,
                   [shared = shared_, start = options_.start, readiness = shared_->readiness] {
                       std::unique_ptr<WordConnection> connection;
                       std::exception_ptr error;
                       try {
                           connection = start();
                           // A program on its way out waits for this start: it does not also wait
                           // for the warm-up of an instance that is only going to be ended.
                           const bool stopping = [&] {
                               const std::lock_guard lock(shared->mutex);
                               return shared->stopping;
                           }();
                           if (readiness == Readiness::Warmed && !stopping) connection->warmUp();
                       } catch (...) {
                           connection.reset();
                           error = std::current_exception();
                       }
                       const std::lock_guard lock(shared->mutex);
                       if (connection) {
                           shared->ready.push_back(std::move(connection));
                       } else {
                           shared->startFailed = true;
                           shared->startError = error;
                       }
                       --shared->starting;
                       shared->changed.notify_all();
                   }));
}

std::unique_ptr<WordConnection> WordApplicationPool::take() {
    std::unique_lock lock(shared_->mutex);
    shared_->lastUse = Clock::now();
    bool waited = false;
    const auto refuseWhenAborted = [&] {
        if (shared_->aborted) throw WordError(QStringLiteral("The office work was stopped."));
    };
    for (;;) {
        refuseWhenAborted();
        while (!shared_->ready.empty()) {
            std::unique_ptr<WordConnection> connection = std::move(shared_->ready.front());
            shared_->ready.pop_front();
            ++shared_->outstanding;
            lock.unlock();
            const bool alive = connection->alive();
            if (!alive) connection.reset();  // an instance that died or hung while idle is ended
            lock.lock();
            if (alive) return handOver(std::move(connection), lock);
            --shared_->outstanding;
            refuseWhenAborted();
        }
        if (shared_->starting == 0 && shared_->checking == 0) break;
        // Rather than a third instance, the one already on its way.
        waited = waited || shared_->starting > 0;
        shared_->changed.wait(lock, [&] {
            return shared_->aborted || !shared_->ready.empty() ||
                   (shared_->starting == 0 && shared_->checking == 0);
        });
    }
    // The start waited for failed: its error, rather than a second wait for the same office.
    if (waited && shared_->startFailed && shared_->startError)
        std::rethrow_exception(shared_->startError);
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
    return handOver(std::move(connection), lock);
}

std::unique_ptr<WordConnection> WordApplicationPool::handOver(
    std::unique_ptr<WordConnection> connection, std::unique_lock<std::mutex>& lock) {
    shared_->lastUse = Clock::now();
    lock.unlock();
    return std::make_unique<Handed>(std::move(connection), shared_, options_.quitInBackground);
}

void WordApplicationPool::abortAll() {
    const std::lock_guard lock(shared_->mutex);
    shared_->aborted = true;
    for (WordConnection* connection : shared_->inUse) connection->abort();
    // The idle ones too: a program on its way out does not ask an office that may no longer
    // answer to end (up to two seconds each).
    for (const auto& connection : shared_->ready) connection->abort();
    shared_->changed.notify_all();
}

void WordApplicationPool::endInUse() {
    const std::lock_guard lock(shared_->mutex);
    for (WordConnection* connection : shared_->inUse) connection->abort();
    shared_->changed.notify_all();
}

// Asks the idle instances whether they still answer; those that do not are ended (each costs
// its liveness check, about a second), and the missing ones are replaced as usual.
void WordApplicationPool::checkIdle(std::unique_lock<std::mutex>& lock) {
    std::deque<std::unique_ptr<WordConnection>> idle;
    idle.swap(shared_->ready);
    shared_->checking = int(idle.size());
    lock.unlock();
    std::deque<std::unique_ptr<WordConnection>> answering;
    for (auto& connection : idle) {
        if (connection->alive()) answering.push_back(std::move(connection));
        connection.reset();
    }
    lock.lock();
    for (auto& connection : answering) shared_->ready.push_back(std::move(connection));
    shared_->checking = 0;
    shared_->lastCheck = Clock::now();
    shared_->changed.notify_all();
}

// Ends the instances handed back, checks the idle ones now and then, and starts replacements
// once nothing is in use and the program has been quiet for a while.
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
        const bool idle = shared_->outstanding == 0;
        const auto checkDue = shared_->lastCheck + options_.checkInterval;
        if (idle && !shared_->ready.empty() && Clock::now() >= checkDue) {
            checkIdle(lock);
            continue;
        }
        const bool missing = !shared_->startFailed &&
                             int(shared_->ready.size()) + shared_->starting < shared_->target;
        const auto replaceDue = shared_->lastUse + options_.replaceDelay;
        if (idle && missing && Clock::now() >= replaceDue) {
            startMissing(lock);
            continue;
        }
        if (!idle) {
            shared_->changed.wait(lock);
        } else if (missing) {
            shared_->changed.wait_until(
                lock, shared_->ready.empty() ? replaceDue : std::min(replaceDue, checkDue));
        } else if (!shared_->ready.empty()) {
            shared_->changed.wait_until(lock, checkDue);
        } else {
            shared_->changed.wait(lock);
        }
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
