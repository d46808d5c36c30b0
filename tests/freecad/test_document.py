# The FreeCAD document the add-on's tests run on: every way FreeCAD places
# an object (App::Part, Part in Part, Body placement, links with Link
# Transform off and on, link arrays with their own placements and a hidden
# element, Part::Mirroring, links whose scale mirrors or enlarges), hidden
# objects, face colours, curves and points, and Cyrillic labels. Shapes are
# polyhedra, so a mesh's bounding box and centre are the shape's own.
import FreeCAD as App
import Part


def _box(doc, name, label, size, placement=None):
    box = doc.addObject("Part::Box", name)
    box.Label = label
    box.Length, box.Width, box.Height = size
    if placement:
        box.Placement = placement
    return box


def _pad(body, name, points, length):
    sketch = body.newObject("Sketcher::SketchObject", name + "Sketch")
    for a, b in zip(points, points[1:] + points[:1]):
        sketch.addGeometry(Part.LineSegment(App.Vector(*a), App.Vector(*b)))
    pad = body.newObject("PartDesign::Pad", name)
    pad.Profile = sketch
    pad.Length = length
    return pad


def build(doc):
    turn = App.Rotation(App.Vector(0, 0, 1), 30)
    tilt = App.Rotation(App.Vector(1, 1, 0), 40)

    frame = doc.addObject("App::Part", "Frame")
    frame.Label = "Рама"
    frame.Placement = App.Placement(App.Vector(100, 0, 0), turn)
    plate = _box(doc, "Plate", "Плита", (40, 20, 5))
    frame.addObject(plate)
    inner = doc.addObject("App::Part", "Inner")
    inner.Label = "Inner part"
    inner.Placement = App.Placement(App.Vector(0, 30, 10), tilt)
    frame.addObject(inner)
    inner.addObject(_box(doc, "Post", "Post", (5, 5, 30), App.Placement(App.Vector(2, 3, 0), App.Rotation())))

    body = doc.addObject("PartDesign::Body", "Body")
    body.Label = "Кронштейн"
    body.Placement = App.Placement(App.Vector(0, 80, 0), App.Rotation(App.Vector(0, 0, 1), -15))
    _pad(body, "Pad", [(0, 0, 0), (30, 0, 0), (30, 10, 0), (10, 25, 0), (0, 25, 0)], 6)
    body.newObject("PartDesign::Plane", "DatumPlane")

    # Links to the frame: Link Transform off replaces its placement, on composes it.
    replacing = doc.addObject("App::Link", "LinkReplacing")
    replacing.LinkedObject = frame
    replacing.LinkTransform = False
    replacing.Placement = App.Placement(App.Vector(0, 0, 200), App.Rotation(App.Vector(0, 1, 0), 20))
    composing = doc.addObject("App::Link", "LinkComposing")
    composing.LinkedObject = frame
    composing.LinkTransform = True
    composing.Placement = App.Placement(App.Vector(0, 0, 400), App.Rotation(App.Vector(0, 1, 0), 20))

    array = doc.addObject("App::Link", "BodyArray")
    array.Label = "Body array"
    array.LinkedObject = body
    array.ElementCount = 3
    array.Placement = App.Placement(App.Vector(300, 0, 0), App.Rotation())

    source = _box(doc, "MirrorSource", "Mirror source", (10, 20, 30), App.Placement(App.Vector(20, -60, 0), tilt))
    mirror = doc.addObject("Part::Mirroring", "Mirror")
    mirror.Label = "Зеркало"
    mirror.Source = source
    mirror.Normal = (1, 0, 0)
    mirror.Base = (0, 0, 0)
    mirrored_link = doc.addObject("App::Link", "MirroredLink")
    mirrored_link.Label = "Mirrored link"
    mirrored_link.LinkedObject = source
    mirrored_link.ScaleVector = App.Vector(-1, 1, 1)
    mirrored_link.Placement = App.Placement(App.Vector(0, -150, 0), App.Rotation())
    scaled_link = doc.addObject("App::Link", "ScaledLink")
    scaled_link.Label = "Scaled link"
    scaled_link.LinkedObject = source
    scaled_link.ScaleVector = App.Vector(2, 2, 2)
    scaled_link.Placement = App.Placement(App.Vector(0, -300, 0), App.Rotation())

    hidden = _box(doc, "HiddenBox", "Hidden box", (10, 10, 10), App.Placement(App.Vector(-50, 0, 0), App.Rotation()))
    painted = _box(doc, "PaintedBox", "Painted box", (15, 15, 15), App.Placement(App.Vector(-50, 50, 0), turn))
    # Two solids in one shape: the second face-painted differently.
    pair = doc.addObject("Part::Feature", "Pair")
    pair.Label = "Пара"
    pair.Shape = Part.makeCompound([Part.makeBox(10, 10, 10), Part.makeBox(10, 10, 10, App.Vector(20, 0, 0))])
    pair.Placement = App.Placement(App.Vector(-50, 100, 0), App.Rotation())

    line = doc.addObject("Part::Line", "Line")
    line.Label = "Линия"
    line.X1, line.Y1, line.Z1, line.X2, line.Y2, line.Z2 = 0, -20, 0, 100, -20, 50
    point = doc.addObject("Part::Vertex", "Point")
    point.Label = "Точка"
    point.X, point.Y, point.Z = 10, 20, 30
    # Curves hidden by their group and by their link array.
    hidden_group = doc.addObject("App::Part", "HiddenGroup")
    hidden_group.Label = "Hidden group"
    inner_line = doc.addObject("Part::Line", "InnerLine")
    inner_line.Label = "Inner line"
    inner_line.X2 = 30
    hidden_group.addObject(inner_line)
    line_array = doc.addObject("App::Link", "LineArray")
    line_array.Label = "Line array"
    line_array.LinkedObject = line
    line_array.ElementCount = 2
    doc.recompute()

    # After the first recompute: before it the array's elements do not exist.
    for i, element in enumerate(array.ElementList):
        element.Placement = App.Placement(App.Vector(0, 40 * i, 0), App.Rotation(App.Vector(0, 0, 1), 10 * i))
    array.setElementVisible("1", False)
    for i, element in enumerate(line_array.ElementList):
        element.Placement = App.Placement(App.Vector(0, 0, 20 * i), App.Rotation())
    line_array.setElementVisible("1", False)
    hidden_group.Visibility = False
    hidden.Visibility = False
    source.Visibility = False
    doc.recompute()

    if App.GuiUp:
        plate.ViewObject.ShapeColor = (0.9, 0.1, 0.1)
        colours = [(0.2, 0.4, 0.8)] * 6
        colours[5] = (0.9, 0.8, 0.1)
        painted.ViewObject.DiffuseColor = colours
        pair.ViewObject.DiffuseColor = [(0.2, 0.7, 0.2)] * 6 + [(0.7, 0.2, 0.7)] * 6
        line.ViewObject.LineColor = (0.1, 0.1, 0.9)
        point.ViewObject.PointColor = (0.9, 0.4, 0.1)
    return doc
