#pragma once

#include "platform/DialogHook.h"

// Gives every dialog back to the person at the screen; a cleanup calls it so
// no answer of one case reaches the next.
inline void resetDialogAnswers()
{
    DialogHook::setMessageAnswer({});
    DialogHook::setQuestionAnswer({});
    DialogHook::setChoiceAnswer({});
    DialogHook::setFileAnswer({});
    DialogHook::setInputAnswer({});
}
