#include "messagerecorder.h"

int MessageRecorder::MsgBox(const QString& prompt, int style, const QString& title, const QString& helpFile,
                            int helpContext)
{
    shown.push_back({prompt, style, title, helpFile, helpContext});
    if (whileOpen)
        whileOpen(shown.back());
    if (!answers.empty()) {
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    return (style & 0x0F) == MsgStyle::YesNo ? AnswerNo : AnswerOk;
}

QStringList MessageRecorder::texts() const
{
    QStringList list;
    for (const ShownMessage& message : shown)
        list << message.text;
    return list;
}
