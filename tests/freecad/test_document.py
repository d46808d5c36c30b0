# The FreeCAD document the add-on's tests run on: every way FreeCAD places
# an object (App::Part, Part in Part, Body placement, links with Link
# Transform off and on, link arrays with their own placements and a hidden
# element, Part::Mirroring, links whose scale mirrors or enlarges), hidden
# objects, face colours, curves and points, and Cyrillic labels; and what
# users' documents hold: plain groups in groups with a link array inside,
# an Assembly4 model (an App::Part with its LCS, links to them, groups of
# constraints and parts) and links into another saved document. Shapes are
# polyhedra, so a mesh's bounding box and centre are the shape's own.
import os

import FreeCAD as App
import Part

# The other document, beside the test's in a folder of its own: links keep
# its path relative to the linking document.
PARTS = os.path.join("parts", "fasteners.FCStd")


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


def _fasteners(folder):
    """The other document: a nut in an App::Part, coloured."""
    parts = App.newDocument("Fasteners")
    holder = parts.addObject("App::Part", "NutPart")
    holder.Label = "Гайка"
    nut = parts.addObject("Part::Prism", "Nut")
    nut.Polygon, nut.Circumradius, nut.Height = 6, 8, 6
    nut.Placement = App.Placement(App.Vector(0, 0, 2), App.Rotation())
    holder.addObject(nut)
    parts.recompute()
    if App.GuiUp:
        nut.ViewObject.ShapeColor = (0.3, 0.6, 0.3)
    os.makedirs(os.path.join(folder, os.path.dirname(PARTS)), exist_ok=True)
    parts.saveAs(os.path.join(folder, PARTS))
    return holder


def _users_structures(doc, body, turn):
    """Groups in groups, an Assembly4 model and links into another file."""
    outer = doc.addObject("App::DocumentObjectGroup", "Hardware")
    outer.Label = "Крепёж"
    middle = doc.addObject("App::DocumentObjectGroup", "Bolts")
    outer.addObject(middle)
    bolt = _box(doc, "Bolt", "Bolt", (4, 4, 20), App.Placement(App.Vector(0, 200, 0), turn))
    middle.addObject(bolt)
    bolts = doc.addObject("App::Link", "BoltArray")
    bolts.Label = "Bolt array"
    bolts.LinkedObject = bolt
    bolts.ElementCount = 3
    middle.addObject(bolts)

    model = doc.addObject("App::Part", "Model")
    model.Label = "Assembly"
    model.Placement = App.Placement(App.Vector(0, 0, -100), App.Rotation())
    origin = doc.addObject("PartDesign::CoordinateSystem", "LCS_Origin")
    model.addObject(origin)
    lcs = doc.addObject("App::Link", "LCS_1")
    lcs.LinkedObject = origin
    model.addObject(lcs)
    constraints = doc.addObject("App::DocumentObjectGroup", "Constraints")
    model.addObject(constraints)
    constraint = doc.addObject("App::FeaturePython", "Constraint_1")
    constraints.addObject(constraint)
    constraints.addObject(_box(doc, "Washer", "Washer", (8, 8, 1), App.Placement(App.Vector(0, 0, 70), turn)))
    placed = doc.addObject("App::Link", "Bracket_1")
    placed.LinkedObject = body
    placed.Placement = App.Placement(App.Vector(50, 0, 0), turn)
    model.addObject(placed)
    nut = _fasteners(os.path.dirname(doc.FileName))
    # The user goes on in the document they were in.
    App.setActiveDocument(doc.Name)
    if App.GuiUp:
        import FreeCADGui
        FreeCADGui.setActiveDocument(doc.Name)
    for i, parent in enumerate((model, middle)):
        link = doc.addObject("App::Link", "Nut_{}".format(i + 1))
        link.LinkedObject = nut
        link.Placement = App.Placement(App.Vector(0, 30 * i, 60), App.Rotation())
        parent.addObject(link)
    return bolts


def build(doc):
    """`doc` is saved already: links into another file are relative to it."""
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
    bolts = _users_structures(doc, body, turn)
    doc.recompute()

    # After the first recompute: before it the array's elements do not exist.
    for i, element in enumerate(array.ElementList):
        element.Placement = App.Placement(App.Vector(0, 40 * i, 0), App.Rotation(App.Vector(0, 0, 1), 10 * i))
    array.setElementVisible("1", False)
    for i, element in enumerate(line_array.ElementList):
        element.Placement = App.Placement(App.Vector(0, 0, 20 * i), App.Rotation())
    line_array.setElementVisible("1", False)
    for i, element in enumerate(bolts.ElementList):
        element.Placement = App.Placement(App.Vector(10 * i, 0, 0), App.Rotation())
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
