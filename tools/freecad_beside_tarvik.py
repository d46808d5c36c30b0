# A FreeCAD macro for the README's picture (scripts/grab-freecad.sh): puts
# FreeCAD's window on the right half of the screen, shows the active
# document from above at an angle, and runs "Export ZEL", which starts
# Tarvik on the left.
import FreeCADGui as Gui
from PySide import QtCore

window = Gui.getMainWindow()
window.showNormal()
window.setGeometry(1024, 0, 1800, 720)
Gui.activeDocument().activeView().viewIsometric()
Gui.SendMsgToActiveView("ViewFit")
# Once the window has settled in its place.
QtCore.QTimer.singleShot(1500, lambda: Gui.runCommand("Velmora_ExportZEL"))
