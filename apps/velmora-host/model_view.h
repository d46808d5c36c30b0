#pragma once
#include <QImage>
#include <QWidget>

#include <AIS_InteractiveContext.hxx>
#include <V3d_View.hxx>

namespace velmora::host {

// An OpenCASCADE 3D view in a widget (OpenGL on the widget's own X window):
// left drag rotates, middle drag pans, the wheel zooms at the cursor.
class ModelView : public QWidget {
    Q_OBJECT
public:
    explicit ModelView(QWidget* parent = nullptr);
    ~ModelView() override;

    const Handle(AIS_InteractiveContext)& context() const { return context_; }
    const Handle(V3d_View)& view() const { return view_; }

    enum class Standard { Isometric, Front, Top, Right };
    void show_standard(Standard which);
    void fit_all();
    // Draws the view now (after the scene changed).
    void redraw();
    // Draws the highlights anew (see the constructor for what that costs).
    void redraw_highlights();
    // Prepares the renderer for the model's kinds of objects (see ModelScene::warm_up).
    void warm_up();
    // What the view shows, drawn afresh at the widget's size.
    QImage grab_view();
    // What its window shows on screen now.
    QImage grab_screen() const;

    QPaintEngine* paintEngine() const override { return nullptr; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void attach_window();
    void resize_view();

    Handle(V3d_Viewer) viewer_;
    Handle(V3d_View) view_;
    Handle(AIS_InteractiveContext) context_;
    bool attached_ = false;
    QSize view_size_;  // the window's size when the view last followed it
    QPoint last_;
};

}  // namespace velmora::host
