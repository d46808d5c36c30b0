#pragma once
#include <functional>

#include <QString>

class QWidget;

// Every failure shown to the user goes through here: a modal critical box
// in the program, something readable in tests.
using ErrorReporter = std::function<void(QWidget* parent, const QString& title, const QString& text)>;

void report_error(QWidget* parent, const QString& title, const QString& text);

// Replaces the reporter; returns the one it replaced. An empty one restores the box.
ErrorReporter set_error_reporter(ErrorReporter reporter);
