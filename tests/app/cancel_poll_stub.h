// A cancel poll that counts its calls and gives a settable answer.
#ifndef TESTS_APP_CANCEL_POLL_STUB_H
#define TESTS_APP_CANCEL_POLL_STUB_H

#include <cstdint>

#include "app/cancel_callback.h"

class CancelPollStub : public orvel_kepno_ambientlib::CancelPoll {
public:
    explicit CancelPollStub(std::int32_t initial) : answer(initial) {}
    std::int32_t PollCancel() override {
        ++polls;
        return answer;
    }
    std::int32_t answer;
    int polls = 0;
};

#endif  // TESTS_APP_CANCEL_POLL_STUB_H
