#include "model_view.h"

#include "model_scene.h"

#include <algorithm>
#include <cstring>

#include <QMouseEvent>
#include <QScreen>
#include <QWheelEvent>

#include <Aspect_DisplayConnection.hxx>
#include <Graphic3d_RenderingParams.hxx>
#include <Image_AlienPixMap.hxx>
#include <OpenGl_GraphicDriver.hxx>
#include <V3d_Viewer.hxx>
#include <Xw_Window.hxx>

// Last: its macros would break the headers above.
#include <X11/Xlib.h>

namespace velmora::host {

ModelView::ModelView(QWidget* parent) : QWidget(parent)
{
    // OpenGL draws on the widget's window; Qt paints nothing there.
    setAttribute(Qt::WA_PaintOnScreen);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_NativeWindow);
    setMouseTracking(false);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(200, 150);

    Handle(Aspect_DisplayConnection) display = new Aspect_DisplayConnection();
    Handle(OpenGl_GraphicDriver) driver = new OpenGl_GraphicDriver(display);
    viewer_ = new V3d_Viewer(driver);
    viewer_->SetDefaultLights();
    viewer_->SetLightOn();
    context_ = new AIS_InteractiveContext(viewer_);
    view_ = viewer_->CreateView();
    view_->SetBgGradientColors(Quantity_Color(0.86, 0.88, 0.91, Quantity_TOC_RGB),
                               Quantity_Color(0.55, 0.60, 0.68, Quantity_TOC_RGB), Aspect_GFM_VER);
    view_->ChangeRenderingParams().IsAntialiasingEnabled = false;
    // Highlights (the immediate layer) are drawn to the back buffer with the
    // whole picture and then shown: drawn to the front buffer, OpenCASCADE's
    // faster way, they never reach the screen under Mesa's software renderer.
    view_->View()->SetImmediateModeDrawToFront(false);

    view_->TriedronDisplay(Aspect_TOTP_LEFT_LOWER, Quantity_NOC_BLACK, 0.08, V3d_ZBUFFER);
}

ModelView::~ModelView()
{
    context_->RemoveAll(false);
    view_->Remove();
}

void ModelView::attach_window()
{
    if (attached_) return;
    Handle(Xw_Window) window = new Xw_Window(viewer_->Driver()->GetDisplayConnection(), static_cast<Aspect_Drawable>(winId()));
    view_->SetWindow(window);
    if (!window->IsMapped()) window->Map();
    attached_ = true;
    resize_view();
}

void ModelView::showEvent(QShowEvent*)
{
    const bool first = !attached_;
    attach_window();
    // The model fills the view when it first opens at its real size.
    if (first) view_->FitAll(0.05, false);
    redraw();
}

void ModelView::paintEvent(QPaintEvent*)
{
    redraw();
}

void ModelView::resize_view()
{
    Standard_Integer w = 0, h = 0;
    view_->Window()->Size(w, h);
    view_size_ = QSize(w, h);
    view_->MustBeResized();
    view_->Invalidate();
}

void ModelView::resizeEvent(QResizeEvent*)
{
    if (!attached_) return;
    resize_view();
    view_->Redraw();
}

void ModelView::redraw()
{
    if (!attached_) return;
    // The native window may take its size after the resize event has
    // reached us (it does when first shown): follow the window itself.
    Standard_Integer w = 0, h = 0;
    view_->Window()->Size(w, h);
    if (QSize(w, h) != view_size_) resize_view();
    view_->Redraw();
}

void ModelView::redraw_highlights()
{
    if (!attached_) return;
    view_->RedrawImmediate();
    // The picture goes to the X server on the view's own display connection:
    // once this returns, the server shows it (and anyone told may look).
    XSync(reinterpret_cast<Display*>(viewer_->Driver()->GetDisplayConnection()->GetDisplayAspect()), False);
}

void ModelView::warm_up()
{
    attach_window();
    ModelScene::warm_up(context_, view_);
}

void ModelView::fit_all()
{
    view_->FitAll(0.05, false);
    redraw();
}

void ModelView::show_standard(Standard which)
{
    switch (which) {
    case Standard::Isometric: view_->SetProj(V3d_TypeOfOrientation_Zup_AxoRight); break;
    case Standard::Front: view_->SetProj(V3d_TypeOfOrientation_Zup_Front); break;
    case Standard::Top: view_->SetProj(V3d_TypeOfOrientation_Zup_Top); break;
    case Standard::Right: view_->SetProj(V3d_TypeOfOrientation_Zup_Right); break;
    }
    fit_all();
}

QImage ModelView::grab_screen() const
{
    // What the window shows on screen, as the user sees it.
    QScreen* screen = this->screen();
    return screen ? screen->grabWindow(winId()).toImage().convertToFormat(QImage::Format_RGB888) : QImage();
}

QImage ModelView::grab_view()
{
    Image_PixMap pixels;
    const int w = std::max(1, width()), h = std::max(1, height());
    if (!attached_ || !view_->ToPixMap(pixels, w, h, Graphic3d_BT_RGB)) return {};
    QImage image(w, h, QImage::Format_RGB888);
    // Row 0 is the image's top row, whichever way the pixmap stores them.
    for (int y = 0; y < h; ++y)
        std::memcpy(image.scanLine(y), pixels.Row(static_cast<Standard_Size>(y)), static_cast<std::size_t>(w) * 3);
    return image;
}

void ModelView::mousePressEvent(QMouseEvent* event)
{
    last_ = event->position().toPoint();
    if (event->button() == Qt::LeftButton) view_->StartRotation(last_.x(), last_.y());
}

void ModelView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (event->buttons() & Qt::LeftButton) {
        view_->Rotation(at.x(), at.y());
    } else if (event->buttons() & Qt::MiddleButton) {
        view_->Pan(at.x() - last_.x(), last_.y() - at.y());
    }
    last_ = at;
}

void ModelView::wheelEvent(QWheelEvent* event)
{
    const QPoint at = event->position().toPoint();
    const int step = event->angleDelta().y() / 8;
    view_->StartZoomAtPoint(at.x(), at.y());
    view_->ZoomAtPoint(at.x(), at.y(), at.x() + step, at.y() + step);
}

}  // namespace velmora::host
