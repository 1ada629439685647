#pragma once
// Records every message box and answers with scripted buttons.

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "dialogs.h"

struct ShownMessage {
    QString text;
    int style = 0;
    QString title;
    QString helpFile;
    int helpContext = 0;
};

class MessageRecorder : public MessageBoxes {
public:
    int MsgBox(const QString& prompt, int style, const QString& title, const QString& helpFile,
               int helpContext) override;

    // Answers for the next boxes, in order; without one OK boxes get OK and
    // Yes/No boxes get No.
    std::deque<int> answers;
    // Runs while a box is "open", e.g. to let a timer tick meanwhile.
    std::function<void(const ShownMessage&)> whileOpen;

    std::vector<ShownMessage> shown;
    QStringList texts() const;
    void clear() { shown.clear(); }
};
