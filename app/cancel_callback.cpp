// The free cancel callback and the process-wide object it asks.
#include "app/cancel_callback.h"

CancelCallBackAdapter::~CancelCallBackAdapter() = default;

namespace orvel_kepno_ambientlib {
namespace {

CancelPoll* g_cancelPoll = nullptr;

}  // namespace

CancelPoll::~CancelPoll() = default;

void SetCancelPoll(CancelPoll* poll) {
    g_cancelPoll = poll;
}

CancelPoll* GetCancelPoll() {
    return g_cancelPoll;
}

std::int32_t CancelCallBack(std::int32_t /*progress*/) {
    return g_cancelPoll != nullptr ? g_cancelPoll->PollCancel() : 0;
}

}  // namespace orvel_kepno_ambientlib
