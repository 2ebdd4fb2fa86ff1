// What a page's button asks the frame to do.
#pragma once

enum class ButtonType {
    Next = 0,
    Accept = 1,
    Close = 2,
    Decline = 3,
    Finish = 4,
    Back = 5,
};
