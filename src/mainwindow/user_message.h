#pragma once

#include <QString>
#include <functional>

namespace rendaal {

// How the main window tells the user something (a message box by default; tests capture it).
using UserMessageFn = std::function<void(const QString& caption, const QString& text)>;
void SetUserMessageHandler(UserMessageFn handler);
void ShowUserMessage(const QString& caption, const QString& text);
// Like ShowUserMessage, but the box does not wait for an answer: a note after a timer's run must
// not hold up the window's work.
void ShowUserNote(const QString& caption, const QString& text);

}  // namespace rendaal
