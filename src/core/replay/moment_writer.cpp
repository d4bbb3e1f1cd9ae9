#include "core/replay/moment_writer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

namespace quillrun {
namespace {

struct Handed {
    long long at = 0;  // the moment, epoch milliseconds
    LocalTime moment;
    TcpConnection* connection = nullptr;
    const std::string* text = nullptr;
    MomentWrite result;
    bool done = false;
};

// A writer thread wakes this long before the nearest moment, then waits the rest exactly.
constexpr long long kWakeAheadMs = 20;

class Writers {
  public:
    static Writers& Get() {
        static Writers* writers = new Writers;  // never destroyed: its threads never end
        return *writers;
    }

    // False when no writer thread can be had.
    bool Hand(Handed& entry) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!StartThreads())
            return false;
        queue_.push_back(&entry);
        due_.notify_all();
        written_.wait(lock, [&entry] { return entry.done; });
        return true;
    }

    int Threads() {
        std::lock_guard<std::mutex> lock(mutex_);
        return started_;
    }

  private:
    bool StartThreads() {
        if (started_ > 0)
            return true;
        int wanted = std::max(1u, std::thread::hardware_concurrency());
        for (int k = 0; k < wanted; ++k) {
            try {
                std::thread([this] { Serve(); }).detach();
                ++started_;
            } catch (const std::system_error&) {
                break;
            }
        }
        return started_ > 0;
    }

    long long Earliest() const {
        long long earliest = queue_.front()->at;
        for (const Handed* h : queue_)
            earliest = std::min(earliest, h->at);
        return earliest;
    }

    // The next entry due now, in the order entries were handed over; null when none is due.
    Handed* TakeDue(long long now) {
        for (auto it = queue_.begin(); it != queue_.end(); ++it) {
            if ((*it)->at <= now) {
                Handed* due = *it;
                queue_.erase(it);
                return due;
            }
        }
        return nullptr;
    }

    void Serve() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            due_.wait(lock, [this] { return !queue_.empty(); });
            long long earliest = Earliest();
            long long left = earliest - ToEpochMilliseconds(CurrentClock().Now());
            if (left > kWakeAheadMs) {
                // A nearer moment handed over meanwhile wakes it again.
                due_.wait_for(lock, std::chrono::milliseconds(std::min(left - kWakeAheadMs, 50LL)));
                continue;
            }
            lock.unlock();
            WaitForMoment(CurrentClock(), FromEpochMilliseconds(earliest));
            lock.lock();
            WriteDue();
        }
    }

    // Writes every entry due, one by one (the other writers take their share), and wakes the
    // runs when this writer has none left: woken runs would take the cores from the writes,
    // and a write held up by a slow peer on the other writer must not hold back this one's.
    void WriteDue() {
        long long now = ToEpochMilliseconds(CurrentClock().Now());
        while (Handed* entry = TakeDue(now))
            WriteOne(entry);
        written_.notify_all();
    }

    // Called and returning with the lock held; the write itself goes without it.
    void WriteOne(Handed* entry) {
        mutex_.unlock();
        entry->result.firstByte = CurrentClock().Now();
        entry->connection->StartExchangeClock();
        entry->result.wrote = entry->connection->SendAll(*entry->text);
        mutex_.lock();
        entry->done = true;
    }

    std::mutex mutex_;
    std::condition_variable due_;      // an entry was handed over
    std::condition_variable written_;  // entries were written
    std::deque<Handed*> queue_;
    int started_ = 0;
};

}  // namespace

MomentWrite WriteAtMoment(const LocalTime& moment, TcpConnection& connection,
                          const std::string& text) {
    Handed entry;
    entry.at = ToEpochMilliseconds(moment);
    entry.moment = moment;
    entry.connection = &connection;
    entry.text = &text;
    if (Writers::Get().Hand(entry))
        return entry.result;
    // No writer: this thread waits and writes, as a run always did.
    WaitForMoment(CurrentClock(), moment);
    MomentWrite own;
    own.firstByte = CurrentClock().Now();
    connection.StartExchangeClock();
    own.wrote = connection.SendAll(text);
    return own;
}

int MomentWriterThreads() {
    return Writers::Get().Threads();
}

}  // namespace quillrun
