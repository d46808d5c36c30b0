#include "error_reporter.h"

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
