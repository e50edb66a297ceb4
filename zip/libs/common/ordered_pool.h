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
  };

  TOrderedPool(size_t count, unsigned threads, uint64_t cap, TJobs jobs)
      : jobs_(std::move(jobs)), results_(count), cap_(cap) {
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
  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      while (!stop_ && next_ < results_.size() && !jobs_.Eligible(next_)) ++next_;
      if (stop_ || next_ >= results_.size()) return;
      size_t i = next_;
      uint64_t cost = jobs_.Cost(i);
      if (held_ > 0 && held_ + cost > cap_ && i != waiting_) {
        space_.wait(lock);
        continue;
      }
      ++next_;
      held_ += cost;
      lock.unlock();
      std::optional<R> r;
      std::exception_ptr failure;
      try {
        r = jobs_.Work(i);
      } catch (...) {
        failure = std::current_exception();
      }
      lock.lock();
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
