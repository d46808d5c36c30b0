# The add-in in FreeCAD, loaded when its command is first used and then
# kept for FreeCAD's lifetime, as a CAD system keeps its add-ins: its
# command run on a snapshot of the active document. FreeCAD's document and
# GUI are touched on its main thread only: the run's serving thread leaves
# what FreeCAD must show (the lock notice, highlights) as events that a
# timer here takes.
import json

import FreeCAD as App
import FreeCADGui as Gui
from PySide import QtCore, QtGui

import velmora_freecad
import VelmoraCommand
import VelmoraSnapshot

_POLL_MS = 50

# The add-in speaks the language of FreeCAD's interface.
host = velmora_freecad.Host(velmora_freecad.default_addin_path(), Gui.getLocale())
run = None  # the active run


def _main_window():
    return Gui.getMainWindow()


def running():
    return run is not None


class Run:
    """One run of the command: the notice box, the highlights, its end."""

    def __init__(self, doc):
        self.doc = doc.Name
        self.port = None     # once the run listens
        self.boxes = {}
        self.before = [(s.ObjectName, sub) for s in Gui.Selection.getSelectionEx(doc.Name, 0)
                       for sub in (s.SubElementNames or ("",))]
        self.timer = QtCore.QTimer()
        self.timer.timeout.connect(self.poll)
        self.timer.start(_POLL_MS)

    def poll(self):
        for kind, box, caption, text in host.events():
            if kind == "serving":
                self.port = box
                _main_window().statusBar().showMessage("Velmora: serving on port {}".format(box))
            elif kind == "box_opened":
                self.open_box(box, caption, text)
            elif kind == "box_closed":
                shown = self.boxes.pop(box, None)
                if shown is not None:
                    shown.done(0)
            elif kind == "redrawn":
                self.select(host.highlighted())
            elif kind == "ended":
                self.end()
                return

    def open_box(self, box, caption, text):
        # Application-modal: FreeCAD keeps drawing, but nothing can be changed.
        shown = QtGui.QMessageBox(QtGui.QMessageBox.Warning, caption, text, QtGui.QMessageBox.Ok, _main_window())
        shown.setWindowModality(QtCore.Qt.ApplicationModal)
        shown.finished.connect(lambda _result, box=box: self.box_finished(box))
        self.boxes[box] = shown
        shown.show()

    def box_finished(self, box):
        self.boxes.pop(box, None)
        host.box_closed(box)

    def select(self, targets):
        Gui.Selection.clearSelection(self.doc)
        for path, elements in targets:
            root, _, sub = path.partition(".")
            for element in elements or [""]:
                Gui.Selection.addSelection(self.doc, root, sub + element)

    def end(self):
        global run
        self.timer.stop()
        for shown in self.boxes.values():
            shown.done(0)
        self.boxes.clear()
        host.finish()
        run = None
        VelmoraCommand.refresh()
        # The user's selection as it was, in a document a script may have closed meanwhile.
        doc = App.listDocuments().get(self.doc)
        if doc is not None:
            Gui.Selection.clearSelection(self.doc)
            for name, sub in self.before:
                if doc.getObject(name) is not None:
                    Gui.Selection.addSelection(self.doc, name, sub)


def export(doc):
    """The command: a run on the document as it is now."""
    global run
    if run is not None or doc is None:
        return
    group = host.command_group()
    try:
        velmora_freecad.check_settings()
        QtGui.QApplication.setOverrideCursor(QtCore.Qt.WaitCursor)
        try:
            snapshot = VelmoraSnapshot.Snapshot(doc).as_dict()
            host.start(group["commands"][0]["name"], json.dumps(snapshot, ensure_ascii=False))
        finally:
            QtGui.QApplication.restoreOverrideCursor()
    except Exception as error:
        App.Console.PrintError("Velmora: {}\n".format(error))
        QtGui.QMessageBox.critical(_main_window(), group["title"], str(error))
        return
    run = Run(doc)
    VelmoraCommand.refresh()


def shutdown():
    """FreeCAD is quitting: a run ends as if its box were closed."""
    host.close_boxes()
    host.finish()
