#pragma once
// Shared by the log tests: a replaceable clock for the life of a scope.
#include "log/time_text.h"

#include <deque>
#include <memory>
#include <mutex>

namespace vornicle::test {

// Installs a time environment and puts the previous one back at the end.
class ScopedTimeEnvironment {
public:
    explicit ScopedTimeEnvironment(TimeEnvironment env) : previous_(SetTimeEnvironment(std::move(env))) {}
    ~ScopedTimeEnvironment() { SetTimeEnvironment(previous_); }
    ScopedTimeEnvironment(const ScopedTimeEnvironment&) = delete;
    ScopedTimeEnvironment& operator=(const ScopedTimeEnvironment&) = delete;

private:
    TimeEnvironment previous_;
};

// A clock that gives the queued readings one by one and then keeps giving the
// last; a push after the last was read starts a fresh queue.
class ScriptedClock {
public:
    void push(double t)
    {
        std::lock_guard lock(state_->mutex);
        if (state_->lastRead)
            state_->readings.clear();
        state_->lastRead = false;
        state_->readings.push_back(t);
    }
    std::function<double()> function() const
    {
        return [state = state_] {
            std::lock_guard lock(state->mutex);
            const double t = state->readings.front();
            if (state->readings.size() > 1)
                state->readings.pop_front();
            else
                state->lastRead = true;
            return t;
        };
    }

private:
    struct State {
        std::mutex mutex;
        std::deque<double> readings;
        bool lastRead = false;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace vornicle::test
