# Velmora adds nothing to FreeCAD without its GUI: its command is a GUI one
# (InitGui.py).
