#pragma once
#include <exception>
#include <functional>
#include <optional>

#include <QString>

class QWidget;

// Every failure shown to the user goes through here: a modal critical box
// in the program, something readable in tests.
using ErrorReporter = std::function<void(QWidget* parent, const QString& title, const QString& text)>;

void report_error(QWidget* parent, const QString& title, const QString& text);

// Replaces the reporter; returns the one it replaced. An empty one restores the box.
ErrorReporter set_error_reporter(ErrorReporter reporter);

// The box "Error!" with `sentence`, a line feed and `cause`.
void report_failure(QWidget* parent, const QString& sentence, const QString& cause);

QString unknown_error_text();

// The text of what `operation` throws; none when it runs through. No
// exception may leave a slot or an event handler, so every operation that
// the user starts runs through here.
template <class Operation>
std::optional<QString> failure_of(Operation&& operation)
{
    try {
        operation();
        return std::nullopt;
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return unknown_error_text();
    }
}
// Runs `operation` and reports what it throws with `sentence`; true when it ran through.
template <class Operation>
bool guarded(QWidget* parent, const QString& sentence, Operation&& operation)
{
    const std::optional<QString> failure = failure_of(std::forward<Operation>(operation));
    if (failure) report_failure(parent, sentence, *failure);
    return !failure;
}
