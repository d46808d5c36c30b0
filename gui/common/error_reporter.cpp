#include "error_reporter.h"

#include <cstdio>

#include <QCoreApplication>
#include <QMessageBox>

namespace {

ErrorReporter& current()
{
    static ErrorReporter reporter;
    return reporter;
}

}  // namespace

void report_error(QWidget* parent, const QString& title, const QString& text)
{
    // Also on standard error, so a run's log holds what the user was shown.
    std::fprintf(stderr, "Tarvik: %s %s\n", qPrintable(title), qPrintable(QString(text).replace(u'\n', u' ')));
    if (current()) {
        current()(parent, title, text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, parent);
    box.exec();
}

ErrorReporter set_error_reporter(ErrorReporter reporter)
{
    ErrorReporter previous = std::move(current());
    current() = std::move(reporter);
    return previous;
}

void report_failure(QWidget* parent, const QString& sentence, const QString& cause)
{
    report_error(parent, QCoreApplication::translate("Tarvik", "Error!"), sentence + QLatin1Char('\n') + cause);
}

QString unknown_error_text() { return QCoreApplication::translate("Tarvik", "Unknown error."); }
