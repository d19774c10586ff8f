// How the instrument library asks the user interface whether the user cancelled.
#ifndef APP_CANCEL_CALLBACK_H
#define APP_CANCEL_CALLBACK_H

#include <cstdint>

// Lives for the duration of one measurement.
class CancelCallBackAdapter {
public:
    virtual ~CancelCallBackAdapter();
};

namespace orvel_kepno_ambientlib {

// What the cancel callback asks: the main dialog keeps its windows alive (pending messages
// are processed) and answers -1 when the user cancelled, 0 otherwise.
class CancelPoll {
public:
    virtual ~CancelPoll();
    virtual std::int32_t PollCancel() = 0;
};

// Names the process-wide object CancelCallBack asks; null (the default) never cancels.
void SetCancelPoll(CancelPoll* poll);
CancelPoll* GetCancelPoll();

// ProgressCallback given to the instrument library; ignores its progress argument.
std::int32_t CancelCallBack(std::int32_t progress);

}  // namespace orvel_kepno_ambientlib

#endif  // APP_CANCEL_CALLBACK_H
