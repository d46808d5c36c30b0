#include "cad_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include "hosts/session/host_session.h"
#include "model_scene.h"
#include "model_view.h"
#include "notice_boxes.h"

namespace velmora::host {
namespace {

QString text_of(const std::u16string& text) { return QString::fromStdU16String(text); }

// Image `index` of the command strip whose height is nearest `size`
// (strips of square images, in the bitmap files the add-in wrote).
QIcon command_icon(const std::vector<std::u16string>& strips, int index, int size)
{
    QImage best;
    for (const auto& file : strips) {
        const QImage strip(text_of(file));
        if (strip.isNull()) continue;
        if (best.isNull() || std::abs(strip.height() - size) < std::abs(best.height() - size)) best = strip;
    }
    if (best.isNull()) return {};
    const int side = best.height();
    return QIcon(QPixmap::fromImage(best.copy(index * side, 0, side, side)));
}

}  // namespace

CadWindow::CadWindow(std::shared_ptr<NoticeBoxes> boxes, const QString& title)
    : boxes_(std::move(boxes)), view_(new ModelView(this))
{
    setWindowTitle(title);
    setCentralWidget(view_);
    boxes_->set_window(this);
    resize(1024, 720);
    view_->view()->SetProj(V3d_TypeOfOrientation_Zup_AxoRight);
    add_view_tools();
    statusBar()->showMessage(tr("Opening %1 ...").arg(title));
}

CadWindow::~CadWindow() { detach(); }

void CadWindow::detach()
{
    if (session_) occt::occt_on_redraw(session_->application(), nullptr);
    session_ = nullptr;
    update_commands();
    for (auto& [command, action] : commands_) action->setEnabled(false);
}

void CadWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (warmed_up_ || scene_) return;
    // While the model is still being read.
    warmed_up_ = true;
    view_->warm_up();
}

void CadWindow::show_progress(const QString& stage, double fraction)
{
    statusBar()->showMessage(QStringLiteral("%1 %2%").arg(stage).arg(qRound(fraction * 100)));
}

void CadWindow::show_model(occt::HostSession& session)
{
    session_ = &session;
    scene_ = std::make_unique<ModelScene>(view_->context(), *occt::occt_model(session.application()));
    view_->fit_all();
    add_command_groups();
    // The host redraws on the run's thread; the view is drawn on this one.
    occt::occt_on_redraw(session.application(),
                         [this] { QMetaObject::invokeMethod(this, &CadWindow::show_highlights, Qt::QueuedConnection); });
    statusBar()->showMessage(tr("%1 objects shown").arg(scene_->shown_objects()));
}

void CadWindow::add_view_tools()
{
    QToolBar* tools = addToolBar(tr("View"));
    tools->setObjectName("view_toolbar");
    auto add = [&](const QString& text, auto&& act) {
        QAction* action = tools->addAction(text);
        connect(action, &QAction::triggered, this, act);
    };
    add(tr("Fit all"), [this] { view_->fit_all(); });
    add(tr("Isometric"), [this] { view_->show_standard(ModelView::Standard::Isometric); });
    add(tr("Front"), [this] { view_->show_standard(ModelView::Standard::Front); });
    add(tr("Top"), [this] { view_->show_standard(ModelView::Standard::Top); });
    add(tr("Right"), [this] { view_->show_standard(ModelView::Standard::Right); });
}

void CadWindow::add_command_groups()
{
    for (const occt::OcctCommandGroupView& group : occt::occt_command_groups(session_->application())) {
        QToolBar* toolbar = addToolBar(text_of(group.title));
        toolbar->setObjectName(text_of(group.title));
        toolbar->setToolTip(text_of(group.tooltip));
        QMenu* menu = menuBar()->addMenu(text_of(group.title));
        menu->setToolTipsVisible(true);
        for (const occt::OcctCommand& command : group.commands) {
            auto* action = new QAction(text_of(command.name), this);
            action->setObjectName(text_of(command.name));
            action->setToolTip(text_of(command.tooltip));
            action->setStatusTip(text_of(command.hint));
            action->setIcon(command_icon(group.icons, command.image_index, toolbar->iconSize().height()));
            connect(action, &QAction::triggered, this, [this, name = text_of(command.name)] { perform(name); });
            toolbar->addAction(action);
            menu->addAction(action);
            commands_.emplace_back(command, action);
        }
    }
    update_commands();
}

QAction* CadWindow::command_action(const QString& name) const
{
    for (const auto& [command, action] : commands_)
        if (text_of(command.name) == name) return action;
    return nullptr;
}

void CadWindow::update_commands()
{
    if (!session_) return;
    const bool idle = !session_->running();
    for (auto& [command, action] : commands_) action->setEnabled(idle && session_->enabled(command));
}

void CadWindow::perform(const QString& name)
{
    if (!session_ || session_->running()) return;
    for (const auto& [command, action] : commands_) {
        if (text_of(command.name) != name || !session_->enabled(command)) continue;
        session_->start(command, [this] {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    session_->join();
                    update_commands();
                    emit run_ended();
                    if (closing_) close();
                },
                Qt::QueuedConnection);
        });
        update_commands();
        return;
    }
}

void CadWindow::show_highlights()
{
    if (!scene_) return;
    scene_->highlight(occt::occt_highlighted(session_->application()));
    view_->redraw_highlights();
    emit highlights_shown();
}

void CadWindow::end_run()
{
    if (!session_ || !session_->running()) return;
    boxes_->dismiss_all();
    session_->join();
}

void CadWindow::closeEvent(QCloseEvent* event)
{
    // A run in progress ends first, as dismissing its notice ends it; the
    // window keeps drawing meanwhile (an export call finishes first) and
    // closes when the run has ended.
    if (session_ && session_->running()) {
        closing_ = true;
        boxes_->dismiss_all();
        statusBar()->showMessage(tr("Ending the run ..."));
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace velmora::host
