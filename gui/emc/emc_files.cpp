#include "emc_files.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "emc_controller.h"

FileQuestions standard_file_questions()
{
    return {[](QWidget* p, const QString& caption, const QString& dir, const QString& filter) {
                return QFileDialog::getSaveFileName(p, caption, dir, filter);
            },
            [](QWidget* p, const QString& caption, const QString& dir, const QString& filter) {
                return QFileDialog::getOpenFileName(p, caption, dir, filter);
            },
            [](QWidget* p) {
                QMessageBox box(QMessageBox::Question, EmcFiles::tr("Do you want to save your changes?"),
                                EmcFiles::tr("The EMC tree has been modified."), QMessageBox::NoButton, p);
                box.setInformativeText(EmcFiles::tr("Do you want to save your changes?"));
                box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
                box.button(QMessageBox::Save)->setText(EmcFiles::tr("Save"));
                box.button(QMessageBox::Discard)->setText(EmcFiles::tr("Discard"));
                box.button(QMessageBox::Cancel)->setText(EmcFiles::tr("Cancel"));
                box.setDefaultButton(QMessageBox::Save);
                return box.exec();
            }};
}

EmcFiles::EmcFiles(EMC_Controller* emc_controller, QLineEdit* path_field, const FileQuestions& asked,
                   std::function<void(const QString&)> status_line, QWidget* parent)
    : QObject(parent), emc(emc_controller), path(path_field), questions(asked), status(std::move(status_line)),
      window(parent)
{
}

bool EmcFiles::maybe_save()
{
    if (!emc->is_modified()) return true;
    switch (questions.save_changes(window)) {
    case QMessageBox::Save:
        save();
        // A save that was cancelled or failed must not let the changes go.
        return !emc->is_modified();
    case QMessageBox::Discard: return true;
    default: return false;
    }
}

void EmcFiles::open()
{
    if (!maybe_save()) return;
    const QString chosen =
        questions.open_file(window, tr("Open EMC file"), path->text(), tr("EMC Files (*.emc);;All Files (*)"));
    if (chosen.isEmpty()) return;
    if (emc->load(chosen)) {
        path->setText(chosen);
        status(tr("The EMC file has been loaded."));
    } else {
        status(tr("Unable to load the EMC file!"));
    }
}

QString EmcFiles::ask_save_path()
{
    return questions.save_file(window, tr("Save EMC file"), path->text(), tr("EMC Files (*.emc);;All Files (*)"));
}

void EmcFiles::save()
{
    if (!path->text().isEmpty()) {
        emc->save(path->text());
        return;
    }
    const QString chosen = ask_save_path();
    if (chosen.isEmpty()) return;
    if (emc->save(chosen)) {
        path->setText(chosen);
        status(tr("The EMC file has been saved."));
    } else {
        status(tr("Unable to save the EMC file!"));
    }
}

void EmcFiles::save_as()
{
    const QString chosen = ask_save_path();
    if (chosen.isEmpty()) return;
    path->setText(chosen);
    emc->save(chosen);
}
