#pragma once
#include <memory>
#include <optional>

#include <QMainWindow>

#include "hosts/occt/occt_host.h"

class QAction;

namespace velmora::occt {
class HostSession;
}

namespace velmora::host {

class ModelScene;
class ModelView;
class NoticeBoxes;

// The CAD system's window: the model in a 3D view, the add-in's command
// groups as toolbars and menus, and the highlights the add-in asks for. It
// opens at once, shows how far the model's reading has come, and shows the
// model and the add-in's commands once they are there (show_model).
class CadWindow : public QMainWindow {
    Q_OBJECT
public:
    CadWindow(std::shared_ptr<NoticeBoxes> boxes, const QString& title);
    ~CadWindow() override;

    // The model of the session's application, and the add-in's commands.
    void show_model(occt::HostSession& session);
    // Lets go of the session (before it goes): the window shows no more
    // highlights, and no redraw of the host's calls it once this returns.
    void detach();
    // Ends a run in progress as closing its notice does, and waits for it
    // (after the event loop: a late command may have started one).
    void end_run();
    void show_progress(const QString& stage, double fraction);

    ModelView& model_view() const { return *view_; }
    // Null until show_model.
    ModelScene* scene() const { return scene_.get(); }
    // The action of an add-in command, by its name; null when there is none.
    QAction* command_action(const QString& name) const;

public slots:
    // Performs an add-in command as the toolbar does.
    void perform(const QString& name);
    // Shows what the host's last redraw showed highlighted.
    void show_highlights();

signals:
    void run_ended();
    // The view shows the highlights of the host's last redraw.
    void highlights_shown();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void add_view_tools();
    void add_command_groups();
    void update_commands();

    occt::HostSession* session_ = nullptr;
    std::shared_ptr<NoticeBoxes> boxes_;
    ModelView* view_;
    std::unique_ptr<ModelScene> scene_;
    std::vector<std::pair<occt::OcctCommand, QAction*>> commands_;
    bool warmed_up_ = false;
    // Closed during a run: the window closes when the run has ended.
    bool closing_ = false;
};

}  // namespace velmora::host
