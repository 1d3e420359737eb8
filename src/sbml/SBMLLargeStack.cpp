// A thread with a large stack for libSBML's recursive work.
//
// The thread is started on first use and kept, idle, until the library is
// unloaded: a thread of its own for every read would pay libxml2's and the
// allocator's start-up on each one (about twice the parse of a small file).
// It runs one job at a time while the calling thread waits for it.  A forked
// child does not have the parent's thread; it starts its own.
#include "sbml/SBMLLargeStack.hpp"

#include <condition_variable>
#include <exception>
#include <mutex>

#include <pthread.h>
#include <unistd.h>

#include <sbml/SBMLDocument.h>

#include <ks_utils/Errors.hpp>

#include "model/MessageCatalog.hpp"

namespace kstr::sbml {

namespace {

// What the caller and the thread share.  A forked child leaves its copy
// alone (the thread it served is not in the child) and makes its own.
struct Channel {
  std::mutex mutex;
  std::condition_variable wake;
  std::condition_variable done;
  const std::function<void()>* job = nullptr;
  std::exception_ptr failure;
  bool stop = false;
};

void* serve(void* argument) {
  auto* channel = static_cast<Channel*>(argument);
  std::unique_lock<std::mutex> lock(channel->mutex);
  for (;;) {
    channel->wake.wait(lock, [channel] { return channel->job || channel->stop; });
    if (!channel->job) return nullptr;
    try {
      (*channel->job)();
    } catch (...) {
      channel->failure = std::current_exception();
    }
    channel->job = nullptr;
    channel->done.notify_one();
  }
}

class Worker {
 public:
  static Worker& instance() {
    static Worker worker;
    return worker;
  }

  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  ~Worker() {
    if (!channel_ || pid_ != getpid()) return;
    {
      const std::lock_guard<std::mutex> lock(channel_->mutex);
      channel_->stop = true;
    }
    channel_->wake.notify_one();
    pthread_join(thread_, nullptr);
    delete channel_;
    channel_ = nullptr;
    closed_ = true;
  }

  // Runs the work on the thread and waits; false when no thread could be
  // started (the work has not run then).  The work's exception is kept in
  // failure.
  bool run(const std::function<void()>& work, std::exception_ptr& failure) {
    if (!started()) return false;
    std::unique_lock<std::mutex> lock(channel_->mutex);
    channel_->job = &work;
    channel_->failure = nullptr;
    channel_->wake.notify_one();
    channel_->done.wait(lock, [this] { return channel_->job == nullptr; });
    failure = channel_->failure;
    channel_->failure = nullptr;
    return true;
  }

 private:
  Worker() = default;

  bool started() {
    if (closed_) return false;
    if (channel_ && pid_ == getpid()) return true;
    channel_ = new Channel();  // a parent's channel, if any, stays with its thread
    pid_ = getpid();
    pthread_attr_t attributes;
    bool ok = pthread_attr_init(&attributes) == 0;
    if (ok) {
      ok = pthread_attr_setstacksize(&attributes, kLargeStackBytes) == 0 &&
           pthread_create(&thread_, &attributes, serve, channel_) == 0;
      pthread_attr_destroy(&attributes);
    }
    if (!ok) {
      delete channel_;
      channel_ = nullptr;
    }
    return ok;
  }

  Channel* channel_ = nullptr;
  pthread_t thread_{};
  pid_t pid_ = 0;
  bool closed_ = false;
};

}  // namespace

void runOnLargeStack(const std::function<void()>& work, bool needed) {
  if (!needed) return work();
  std::exception_ptr failure;
  if (!Worker::instance().run(work, failure)) {
    kstr_error("Kestrion:MallocError", kstr::code(kstr::MessageCode::KS_MallocError));
  }
  if (failure) std::rethrow_exception(failure);
}

void LargeStackDocumentDeleter::operator()(SBMLDocument* document) const noexcept {
  if (!document) return;
  if (!onLargeStack) {
    delete document;
    return;
  }
  const std::function<void()> work = [document] { delete document; };
  std::exception_ptr failure;
  if (!Worker::instance().run(work, failure)) delete document;
}

}  // namespace kstr::sbml
