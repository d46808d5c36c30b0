# The add-in in FreeCAD: loaded once when the GUI starts, its command group
# shown as a toolbar and a menu in every workbench, its command run on a
# snapshot of the active document. FreeCAD's document and GUI are touched
# on its main thread only: the run's serving thread leaves what FreeCAD must
# show (the lock notice, highlights) as events that a timer here takes.
import atexit
import os
import tempfile

import FreeCAD as App
import FreeCADGui as Gui
from PySide2 import QtCore, QtGui, QtWidgets

import velmora_freecad
import VelmoraSnapshot

COMMAND = "Velmora_ExportZEL"
_POLL_MS = 50

host = None          # the loaded add-in
command = None       # the command FreeCAD knows as Velmora_ExportZEL


def _main_window():
    return Gui.getMainWindow()


def _update_commands():
    # FreeCAD refreshes its commands' state on document and selection
    # changes; a run starting or ending is neither.
    QtCore.QMetaObject.invokeMethod(_main_window(), "_updateActions")


def _command_icon(strips, index, size=32):
    """The command's image from the add-in's strips (the one nearest `size`),
    as a PNG file FreeCAD can load."""
    best = None
    for path in strips:
        strip = QtGui.QImage(path)
        if not strip.isNull() and (best is None or abs(strip.height() - size) < abs(best.height() - size)):
            best = strip
    if best is None:
        return ""
    side = best.height()
    folder = os.path.join(App.getUserCachePath() if hasattr(App, "getUserCachePath") else tempfile.gettempdir(),
                          "Velmora")
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, "command{}.png".format(index))
    best.copy(index * side, 0, side, side).save(path, "PNG")
    return path


class Run:
    """One run of the command: the notice box, the highlights, its end."""

    def __init__(self, doc, on_end):
        self.doc = doc.Name
        self.on_end = on_end
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
        shown = QtWidgets.QMessageBox(QtWidgets.QMessageBox.Warning, caption, text, QtWidgets.QMessageBox.Ok,
                                      _main_window())
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
        self.timer.stop()
        for shown in self.boxes.values():
            shown.done(0)
        self.boxes.clear()
        host.finish()
        self.on_end()
        _update_commands()
        # The user's selection as it was, in a document a script may have closed meanwhile.
        doc = App.listDocuments().get(self.doc)
        if doc is not None:
            Gui.Selection.clearSelection(self.doc)
            for name, sub in self.before:
                if doc.getObject(name) is not None:
                    Gui.Selection.addSelection(self.doc, name, sub)


class ExportCommand:
    def __init__(self, group, entry):
        self.group = group
        self.entry = entry
        self.icon = _command_icon(group["icons"], entry["image_index"])
        self.run = None

    def GetResources(self):
        return {"Pixmap": self.icon, "MenuText": self.entry["name"], "ToolTip": self.entry["tooltip"],
                "StatusTip": self.entry["hint"], "WhatsThis": self.entry["hint"]}

    def IsActive(self):
        return self.run is None and App.ActiveDocument is not None

    def Activated(self):
        doc = App.ActiveDocument
        if self.run is not None or doc is None:
            return
        try:
            velmora_freecad.check_settings()
            QtWidgets.QApplication.setOverrideCursor(QtCore.Qt.WaitCursor)
            try:
                snapshot = VelmoraSnapshot.Snapshot(doc).as_dict()
                host.start(self.entry["name"], snapshot)
            finally:
                QtWidgets.QApplication.restoreOverrideCursor()
        except Exception as error:
            App.Console.PrintError("Velmora: {}\n".format(error))
            QtWidgets.QMessageBox.critical(_main_window(), self.group["title"], str(error))
            return
        self.run = Run(doc, self.ended)
        _update_commands()

    def ended(self):
        self.run = None


def _global_toolbar(title):
    """The add-in's toolbar in every workbench: one of FreeCAD's global custom
    toolbars, made once and kept in the user's parameters."""
    toolbars = App.ParamGet("User parameter:BaseApp/Workbench/Global/Toolbar")
    for name in toolbars.GetGroups():
        if toolbars.GetGroup(name).GetString("Name") == title:
            group = toolbars.GetGroup(name)
            break
    else:
        number = 1
        while "Custom_{}".format(number) in toolbars.GetGroups():
            number += 1
        group = toolbars.GetGroup("Custom_{}".format(number))
        group.SetString("Name", title)
    group.SetBool("Active", True)
    group.SetString(COMMAND, "FreeCAD")


def _add_menu(title):
    """The add-in's menu in the menu bar; FreeCAD rebuilds the bar for each
    workbench, so it is added again each time."""
    bar = _main_window().menuBar()
    if any(action.text() == title for action in bar.actions()):
        return
    actions = Gui.Command.get(COMMAND).getAction()
    if not actions:
        return
    menu = QtWidgets.QMenu(title, bar)
    menu.setObjectName("Velmora")
    for action in actions:
        menu.addAction(action)
    # Before the Help menu, as workbench menus are.
    bar.insertMenu(bar.actions()[-1] if bar.actions() else None, menu)


def _shutdown():
    # FreeCAD is closing: a run ends as if its box were closed.
    if host is not None:
        host.close_boxes()
        host.finish()


def install():
    global host, command
    if host is not None:
        return
    # The add-in speaks the language of FreeCAD's interface.
    host = velmora_freecad.Host(velmora_freecad.default_addin_path(), Gui.getLocale())
    group = host.command_group()
    entry = group["commands"][0]
    command = ExportCommand(group, entry)
    Gui.addCommand(COMMAND, command)
    _global_toolbar(group["title"])
    _main_window().workbenchActivated.connect(lambda _name: _add_menu(group["title"]))
    atexit.register(_shutdown)
