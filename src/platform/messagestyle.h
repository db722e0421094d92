#pragma once
// The style flags and answers of message boxes, shared by the layers that ask
// for a message without showing one themselves.

namespace MessageStyle {
enum : int {
    Plain = 0,
    YesNo = 4,
    RetryQuit = 5,  // 重试 and 退出
    SecondDefault = 256,  // the second button (No) is the default
    Error = 16,
    Question = 32,
    Exclamation = 48,
    Information = 64,
    SystemModal = 4096,
};
}

// What messageBox returns: the button the operator chose.
enum MessageAnswer : int { AnswerOk = 1, AnswerQuit = 3, AnswerRetry = 4, AnswerYes = 6, AnswerNo = 7 };
