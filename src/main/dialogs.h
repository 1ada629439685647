#pragma once
// Message boxes behind an interface, so tests can record and answer them.

#include <QString>

// The style number: buttons + icon, as the message texts are given.
namespace MsgStyle {
enum : int {
    OkOnly = 0,
    OkCancel = 1,
    YesNo = 4,
    Critical = 16,
    Question = 32,
    Exclamation = 48,
    Information = 64,
};
}

// The button the user pressed.
enum MsgAnswer : int { AnswerOk = 1, AnswerCancel = 2, AnswerYes = 6, AnswerNo = 7 };

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual int MsgBox(const QString& prompt, int style, const QString& title,
                       const QString& helpFile = {}, int helpContext = 0) = 0;
};

// QMessageBox with the buttons and icon the style names, over the active window.
class QtMessageBoxes : public MessageBoxes {
public:
    int MsgBox(const QString& prompt, int style, const QString& title,
               const QString& helpFile, int helpContext) override;
};
