#pragma once
#include <functional>

#include <QObject>
#include <QString>

class EMC_Controller;
class QLineEdit;
class QWidget;

// The questions the window asks about files; tests answer them themselves.
struct FileQuestions {
    using FileDialog =
        std::function<QString(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)>;
    FileDialog save_file;
    FileDialog open_file;
    // Save / Discard / Cancel about unsaved changes, as QMessageBox's buttons.
    std::function<int(QWidget* parent)> save_changes;
};
// Qt's file dialogs and a translated Save / Discard / Cancel box.
FileQuestions standard_file_questions();

// The EMC configuration's file in the window: open, save, save as, and the
// question before unsaved changes go. `path` shows the current file;
// `status` takes what the status bar says; `questions` are the window's
// (tests replace them) and must outlive this.
class EmcFiles : public QObject {
    Q_OBJECT
public:
    EmcFiles(EMC_Controller* emc, QLineEdit* path, const FileQuestions& questions,
             std::function<void(const QString&)> status, QWidget* parent);

    // Whether the caller may go on: true unless the user keeps an unsaved
    // configuration (Cancel, or a save that did not happen).
    bool maybe_save();
    void open();
    void save();
    void save_as();

private:
    QString ask_save_path();

    EMC_Controller* emc;
    QLineEdit* path;
    const FileQuestions& questions;
    std::function<void(const QString&)> status;
    QWidget* window;
};
