# Drives FreeCAD for the add-on's tests: `freecad driver.py` builds the test
# document, then takes one command a line on standard input and answers on
# standard output with "velmora-test: " and JSON. Every answer is FreeCAD's
# own (its model tree, Part.getShape, its selection, its widgets).
import json
import os
import sys

import FreeCAD as App
import FreeCADGui as Gui
import Part
from PySide import QtCore, QtGui

sys.path[:0] = [os.environ["VELMORA_TEST_SOURCES"], os.environ["VELMORA_EXAMPLES"]]
import sample_document  # noqa: E402
import test_document  # noqa: E402

COMMAND_TEXT = "Export ZEL"
folder = os.environ["VELMORA_TEST_DIR"]


def answer(what, value=None):
    os.write(1, ("velmora-test: {} {}\n".format(what, json.dumps(value, ensure_ascii=False))).encode())


def settle():
    for _ in range(5):
        QtGui.QApplication.processEvents()


def tree_top(doc):
    """The labels FreeCAD's model tree shows below the document."""
    for tree in Gui.getMainWindow().findChildren(QtGui.QTreeWidget):
        items = [tree.topLevelItem(i) for i in range(tree.topLevelItemCount())]
        while items:
            item = items.pop(0)
            if item.text(0) == doc.Label:
                return [item.child(i).text(0) for i in range(item.childCount())]
            items.extend(item.child(i) for i in range(item.childCount()))
    return []


def colour_of(leaf, shape, face):
    view = leaf.ViewObject
    faces = list(view.DiffuseColor) if view is not None else []
    if len(faces) == len(shape.Faces):
        for i, f in enumerate(shape.Faces):
            if f.isSame(face):
                return list(faces[i][:3])
    return list(view.ShapeColor[:3]) if view is not None else None


def truth_of(doc):
    """Every leaf of the tree, walked as FreeCAD lists sub-objects, with
    FreeCAD's own placed shape."""
    nodes = []

    def walk(root, obj, sub):
        # Each child from its parent: FreeCAD 0.20 resolves a path of two
        # levels through a group to the group's child.
        children = obj.getSubObjects()
        if obj.hasExtension("App::GroupExtension"):
            # What the model tree shows below a group.
            shown = {child.Name for child in obj.ViewObject.claimChildren()}
            children = [child for child in children if child[:-1] in shown]
        path = root.Name + ("." + sub if sub else "")
        if children:
            for child in children:
                walk(root, obj.getSubObject(child, retType=1), sub + child)
            return
        shape = Part.getShape(root, sub, needSubElement=False, transform=True)
        leaf = obj.getLinkedObject(True)
        node = {"path": path, "label": obj.Label, "solids": [], "curves": len(shape.Edges) if not shape.Faces else 0,
                "points": len(shape.Vertexes) if not shape.Edges else 0}
        for solid in shape.Solids:
            box = solid.BoundBox
            node["solids"].append({"volume": solid.Volume, "centre": list(solid.CenterOfMass),
                                   "box": [box.XMin, box.YMin, box.ZMin, box.XMax, box.YMax, box.ZMax],
                                   "colour": colour_of(leaf, shape, solid.Faces[0])})
        nodes.append(node)

    for label in tree_top(doc):
        top = doc.getObjectsByLabel(label)[0]
        walk(top, top, "")
    return {"top": tree_top(doc), "nodes": nodes}


def command_widgets():
    """Where "Export ZEL" shows: toolbars and menus holding its action."""
    window = Gui.getMainWindow()
    found = {"toolbars": [], "menus": [], "icon": False, "enabled": False}
    for bar in window.findChildren(QtGui.QToolBar):
        for action in bar.actions():
            if action.text().replace("&", "") == COMMAND_TEXT and bar.isVisible():
                found["toolbars"].append(bar.windowTitle())
                found["icon"] = not action.icon().isNull()
                found["enabled"] = action.isEnabled()
    for top in window.menuBar().actions():
        if top.menu() and any(a.text().replace("&", "") == COMMAND_TEXT for a in top.menu().actions()):
            found["menus"].append(top.text())
    return found


def boxes():
    return [w for w in QtGui.QApplication.topLevelWidgets()
            if isinstance(w, QtGui.QMessageBox) and w.isVisible()]


class Driver:
    def __init__(self):
        self.path = os.path.join(folder, "test.FCStd")
        self.doc = App.newDocument("Velmora_test")
        self.doc.saveAs(self.path)
        test_document.build(self.doc)
        # FreeCAD's own save, which leaves a document unmodified: the
        # document it links into first, so that FreeCAD asks nothing.
        for doc in sorted(App.listDocuments().values(), key=lambda d: d is self.doc):
            Gui.setActiveDocument(doc.Name)
            Gui.runCommand("Std_Save")
        self.input = QtCore.QSocketNotifier(0, QtCore.QSocketNotifier.Read)
        self.input.activated.connect(self.read)
        self.buffer = b""

    def read(self, _fd):
        data = os.read(0, 4096)
        if not data:
            os._exit(0)
        self.buffer += data
        while b"\n" in self.buffer:
            line, self.buffer = self.buffer.split(b"\n", 1)
            words = line.decode().split()
            try:
                getattr(self, "do_" + words[0].replace("-", "_"))(*words[1:])
            except Exception as error:
                answer("error", "{}: {}".format(type(error).__name__, error))

    def do_truth(self):
        answer("truth", truth_of(self.doc))

    def do_workbench(self, name):
        Gui.activateWorkbench(name)
        settle()
        answer("workbench", command_widgets())

    def do_run(self):
        Gui.runCommand("Velmora_ExportZEL")
        answer("ran")

    def do_state(self):
        settle()
        addon = sys.modules.get("VelmoraAddon")
        answer("state", {"running": addon is not None and addon.running(),
                         "enabled": command_widgets()["enabled"],
                         "boxes": [[b.windowTitle(), b.text(), b.isModal()] for b in boxes()],
                         "modified": Gui.getDocument(self.doc.Name).Modified,
                         "touched": [o.Name for o in self.doc.Objects if "Touched" in o.State]})

    def do_selection(self):
        settle()
        answer("selection", [[s.ObjectName, sub] for s in Gui.Selection.getSelectionEx(self.doc.Name, 0)
                             for sub in (s.SubElementNames or ("",))])

    def do_close_box(self):
        for box in boxes():
            box.button(QtGui.QMessageBox.Ok).click()
        answer("closed")

    def do_reopen(self):
        """As a user opens the saved document: its linked documents too."""
        for name in list(App.listDocuments()):
            App.closeDocument(name)
        self.doc = App.openDocument(self.path)
        settle()
        answer("reopened")

    def do_loop(self):
        """A saved document whose group holds a link to itself."""
        doc = App.newDocument("Loop")
        group = doc.addObject("App::DocumentObjectGroup", "Group")
        group.addObject(doc.addObject("Part::Box", "Box"))
        link = doc.addObject("App::Link", "Link")
        link.Label = "Loop link"
        link.LinkedObject = group
        group.addObject(link)
        doc.recompute()
        path = os.path.join(folder, "loop.FCStd")
        doc.saveAs(path)
        App.closeDocument(doc.Name)
        App.setActiveDocument(self.doc.Name)
        answer("loop", path)

    def do_sample(self):
        import Import
        App.closeDocument(self.doc.Name)
        self.doc = sample_document.build(App.newDocument("Sample_assembly"))
        self.doc.Label = "Sample assembly"
        settle()
        objects = [self.doc.getObjectsByLabel(label)[0] for label in tree_top(self.doc)]
        Import.export(objects, os.path.join(folder, "sample.step"))
        answer("sample", truth_of(self.doc))

    def do_addon(self):
        """Whether the add-in is loaded, what the add-on's files import, and
        the command's texts as the add-on has them and as the add-in gives them."""
        import ast
        import VelmoraCommand
        folder = os.path.dirname(VelmoraCommand.__file__)
        imported = set()
        for name in os.listdir(folder):
            if name.endswith(".py"):
                for node in ast.walk(ast.parse(open(os.path.join(folder, name)).read())):
                    if isinstance(node, ast.Import):
                        imported.update(a.name for a in node.names)
                    elif isinstance(node, ast.ImportFrom):
                        imported.add(node.module)
        addon = sys.modules.get("VelmoraAddon")
        group = addon.host.command_group() if addon is not None else None
        loaded = sys.modules.get("velmora_freecad")
        answer("addon", {"loaded": loaded is not None, "imports": sorted(imported), "folder": os.path.realpath(folder),
                         "addin_path": loaded.default_addin_path() if loaded else None,
                         "own": [VelmoraCommand.group_title(), VelmoraCommand.NAME, VelmoraCommand.HINT],
                         "addin": [group["title"], group["commands"][0]["name"], group["commands"][0]["hint"]]
                         if group else None})

    def do_quit_window(self):
        """Quits as a user does, so that FreeCAD saves its settings."""
        for name in list(App.listDocuments()):
            App.closeDocument(name)
        QtCore.QTimer.singleShot(0, Gui.getMainWindow().close)

    def do_quit(self):
        os._exit(0)


try:
    driver = Driver()
except Exception as error:
    # Said at once, not left for the test's wait for "ready" to end.
    import traceback
    traceback.print_exc()
    answer("error", "{}: {}".format(type(error).__name__, error))
    os._exit(1)
answer("ready")
