# The add-on's command as FreeCAD shows it, in every workbench, before the
# add-in is loaded: its texts and icon are here, and the add-in itself
# (VelmoraAddon) loads when the command is first used, so that a FreeCAD
# session that never exports does not load it.
import os
import sys

import FreeCAD as App
import FreeCADGui as Gui
from PySide import QtGui

COMMAND = "Velmora_ExportZEL"
ICON = os.path.join(os.path.dirname(os.path.abspath(__file__)), "Velmora.svg")
# The add-in's own texts for its command, as it gives them when it
# connects (the add-on's test checks that they agree).
NAME = "Export ZEL"
HINT = "Shows export dialog"


def group_title():
    """The add-in's command group, in the language of FreeCAD's interface."""
    return "Экспорт ZEL" if Gui.getLocale().lower().startswith("ru") else "ZEL export"


def _addon():
    """The add-in's side, where it is loaded already."""
    return sys.modules.get("VelmoraAddon")


def refresh():
    """The command's enabled state as IsActive says it, now: FreeCAD updates
    it on document and selection changes, and a run starting or ending is
    neither."""
    active = ExportCommand().IsActive()
    for action in Gui.Command.get(COMMAND).getAction():
        action.setEnabled(active)


class ExportCommand:
    def GetResources(self):
        return {"Pixmap": ICON, "MenuText": NAME, "ToolTip": NAME, "StatusTip": HINT, "WhatsThis": HINT}

    def IsActive(self):
        addon = _addon()
        return App.ActiveDocument is not None and (addon is None or not addon.running())

    def Activated(self):
        try:
            import VelmoraAddon
        except Exception as error:
            App.Console.PrintError("Velmora: the add-in could not be loaded: {}\n".format(error))
            QtGui.QMessageBox.critical(Gui.getMainWindow(), group_title(), str(error))
            return
        VelmoraAddon.export(App.ActiveDocument)


class _Manipulator:
    """FreeCAD 0.21 and later: the command in every workbench through its
    workbench manipulator, nothing kept in the user's parameters. It goes
    where FreeCAD's own exports are: after "Export..." in the File menu, and
    on the File toolbar."""

    def modifyMenuBar(self):
        return [{"insert": COMMAND, "menuItem": "Std_Export", "after": ""}]

    def modifyToolBars(self):
        return [{"append": COMMAND, "toolBar": "File"}]


def _toolbars():
    return App.ParamGet("User parameter:BaseApp/Workbench/Global/Toolbar")


def _global_toolbar(title):
    """FreeCAD 0.20 has no manipulator: a toolbar in every workbench is one
    of its global custom toolbars, which live in the user's parameters. It
    is made at each start and taken out when FreeCAD quits, so that nothing
    of it is left once the add-on is gone."""
    toolbars = _toolbars()
    number = 1
    while "Custom_{}".format(number) in toolbars.GetGroups():
        number += 1
    name = "Custom_{}".format(number)
    group = toolbars.GetGroup(name)
    group.SetString("Name", title)
    group.SetBool("Active", True)
    group.SetString(COMMAND, "FreeCAD")
    return name


def _remove_global_toolbars():
    toolbars = _toolbars()
    for name in toolbars.GetGroups():
        if toolbars.GetGroup(name).GetString(COMMAND):
            toolbars.RemGroup(name)


def _add_menu(title):
    """FreeCAD 0.20 rebuilds the menu bar for each workbench: the add-on's
    menu goes back in each time, before the Help menu."""
    bar = Gui.getMainWindow().menuBar()
    if any(action.text() == title for action in bar.actions()):
        return
    actions = Gui.Command.get(COMMAND).getAction()
    if not actions:
        return
    menu = QtGui.QMenu(title, bar)
    menu.setObjectName("Velmora")
    for action in actions:
        menu.addAction(action)
    bar.insertMenu(bar.actions()[-1] if bar.actions() else None, menu)


def _quitting():
    addon = _addon()
    if addon is not None:
        addon.shutdown()
    if not hasattr(Gui, "addWorkbenchManipulator"):
        _remove_global_toolbars()


def install():
    Gui.addCommand(COMMAND, ExportCommand())
    title = group_title()
    if hasattr(Gui, "addWorkbenchManipulator"):
        Gui.addWorkbenchManipulator(_Manipulator())
    else:
        # A toolbar a crash left behind goes before one is made anew.
        _remove_global_toolbars()
        _global_toolbar(title)
        Gui.getMainWindow().workbenchActivated.connect(lambda _name: _add_menu(title))
    QtGui.QApplication.instance().aboutToQuit.connect(_quitting)
