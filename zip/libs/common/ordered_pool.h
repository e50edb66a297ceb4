#pragma once
// Work on a numbered list of items in worker threads while the calling thread takes the results
// strictly in item order. Items that are not eligible are left to the caller. The bytes held by
// running and finished items, and by the result the caller has in hand, are capped, so memory
// stays bounded however far the workers run ahead and however long the caller keeps a result;
// the item the caller waits for may always start.
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace zipfmt {

template <class R>
class TOrderedPool {
public:
  struct TJobs {
    std::function<bool(size_t)> Eligible;
    std::function<uint64_t(size_t)> Cost;  // bytes the item holds while its result waits
    std::function<R(size_t)> Work;
    // Optional: the lane of an item. Workers take items of different lanes side by side where
    // they can (see Pick), for work that goes no faster with two workers in one lane (files
    // created in one folder, say).
    std::function<size_t(size_t)> Lane = nullptr;
  };

  TOrderedPool(size_t count, unsigned threads, uint64_t cap, TJobs jobs)
      : jobs_(std::move(jobs)), results_(count), eligible_(count), started_(count), cap_(cap) {
    for (size_t i = 0; i < count; ++i) eligible_[i] = jobs_.Eligible(i);
    if (jobs_.Lane) {
      lanes_.resize(count);
      for (size_t i = 0; i < count; ++i) lanes_[i] = jobs_.Lane(i);
    }
    for (unsigned t = 0; t < threads; ++t) workers_.emplace_back([this] { Run(); });
  }
  ~TOrderedPool() { Stop(); }

  // The result of item i (eligible items only). Tick runs about ten times a second while the
  // caller waits; when it answers false the pool stops and nullopt comes back. A job that threw
  // throws here, on the caller's thread: a worker never ends the process. The result handed out
  // counts against the cap until the caller asks for the next one: it is done with it then.
  std::optional<R> Take(size_t i, const std::function<bool()>& tick) {
    std::unique_lock<std::mutex> lock(mutex_);
    held_ -= inHand_;
    inHand_ = 0;
    waiting_ = i;
    space_.notify_all();
    while (!results_[i] && !stop_) {
      if (done_.wait_for(lock, std::chrono::milliseconds(100)) == std::cv_status::timeout) {
        lock.unlock();
        bool go = tick();
        lock.lock();
        if (!go) {
          stop_ = true;
          space_.notify_all();
        }
      }
    }
    if (!results_[i]) return std::nullopt;
    std::optional<R> r = std::move(results_[i]);
    results_[i].reset();
    if (failures_.count(i)) {
      held_ -= jobs_.Cost(i);
      space_.notify_all();
      std::exception_ptr e = failures_[i];
      failures_.erase(i);
      std::rethrow_exception(e);
    }
    inHand_ = jobs_.Cost(i);
    return r;
  }

  // The bytes counted against the cap now: running items, finished ones and the one in hand.
  uint64_t Held() {
    std::lock_guard<std::mutex> lock(mutex_);
    return held_;
  }

  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    space_.notify_all();
    for (auto& t : workers_)
      if (t.joinable()) t.join();
    workers_.clear();
  }
  bool Stopped() const { return stop_; }

  // After Stop: each result that was made but never taken, with its item.
  template <class F>
  void ForEachLeft(F&& f) {
    for (size_t i = 0; i < results_.size(); ++i)
      if (results_[i]) f(i, *results_[i]);
  }

private:
  // How far beyond the first item not started a worker looks for an item of a free lane.
  static constexpr size_t kLookAhead = 512;

  // The item a worker starts next: the first one not started; but when that one's lane is busy
  // with another worker, the first one within a short look ahead whose lane is free. The item
  // the caller waits for always goes first.
  size_t Pick() {
    size_t n = results_.size();
    while (next_ < n && (started_[next_] || !eligible_[next_])) ++next_;
    if (next_ >= n || lanes_.empty() || next_ == waiting_ || !Busy(lanes_[next_])) return next_;
    for (size_t k = next_ + 1; k < n && k <= next_ + kLookAhead; ++k)
      if (!started_[k] && eligible_[k] && !Busy(lanes_[k])) return k;
    return next_;
  }
  bool Busy(size_t lane) const { return std::find(busy_.begin(), busy_.end(), lane) != busy_.end(); }

  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      size_t i = stop_ ? results_.size() : Pick();
      if (i >= results_.size()) return;
      uint64_t cost = jobs_.Cost(i);
      if (held_ > 0 && held_ + cost > cap_ && i != waiting_) {
        space_.wait(lock);
        continue;
      }
      started_[i] = 1;
      held_ += cost;
      if (!lanes_.empty()) busy_.push_back(lanes_[i]);
      lock.unlock();
      std::optional<R> r;
      std::exception_ptr failure;
      try {
        r = jobs_.Work(i);
      } catch (...) {
        failure = std::current_exception();
      }
      lock.lock();
      if (!lanes_.empty()) busy_.erase(std::find(busy_.begin(), busy_.end(), lanes_[i]));
      if (failure) {
        results_[i].emplace();
        failures_[i] = failure;
      } else {
        results_[i] = std::move(r);
      }
      done_.notify_all();
    }
  }

  TJobs jobs_;
  std::vector<std::optional<R>> results_;
  std::vector<char> eligible_, started_;
  std::vector<size_t> lanes_, busy_;  // every item's lane; the lanes of the running items
  std::map<size_t, std::exception_ptr> failures_;
  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable space_, done_;
  size_t next_ = 0, waiting_ = 0;
  uint64_t held_ = 0, inHand_ = 0, cap_;
  bool stop_ = false;
};

// The cores this process may run on (its affinity, as taskset or a container sets it).
inline unsigned UsableCores() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
  return std::max(1u, std::thread::hardware_concurrency());
}

// Worker threads for a run: one per usable core, at most eight; none for tiny runs, nor on one
// core, where threads would only take turns with the calling thread.
inline unsigned WorkerCount(size_t items) {
  unsigned cores = UsableCores();
  return items < 2 || cores < 2 ? 0 : std::min<unsigned>({cores, 8u, static_cast<unsigned>(items)});
}

}  // namespace zipfmt
