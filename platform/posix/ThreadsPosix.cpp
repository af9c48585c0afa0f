#include "platform/Threads.h"

#include <pthread.h>

#include <utility>

namespace platform {
namespace {

// The thread owns its body, so a run that outlasts its owner still has it.
void* runBody(void* parameter) {
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
    (*body)();
    return nullptr;
}

class PosixThread final : public Thread {
public:
    explicit PosixThread(pthread_t thread) : thread_(thread) {}
    ~PosixThread() override {
        if (!joined_) pthread_detach(thread_);
    }
    void wait() override {
        if (!joined_) joined_ = pthread_join(thread_, nullptr) == 0;
    }

private:
    pthread_t thread_;
    bool joined_ = false;
};

}  // namespace

std::unique_ptr<Thread> startThread(std::function<void()> body) {
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    pthread_t thread{};
    if (pthread_create(&thread, nullptr, runBody, owned.get()) != 0) return nullptr;
    owned.release();
    return std::make_unique<PosixThread>(thread);
}

}  // namespace platform
