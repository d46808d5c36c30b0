<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>CAD_TreeModel</name>
    <message>
        <source>CAD Tree</source>
        <translation>CAD Tree</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Main settings</source>
        <translation>Main settings</translation>
    </message>
    <message>
        <source>Object types for export</source>
        <translation>Object types for export</translation>
    </message>
    <message>
        <source>Solids</source>
        <translation>Solids</translation>
    </message>
    <message>
        <source>Curves</source>
        <translation>Curves</translation>
    </message>
    <message>
        <source>Points</source>
        <translation>Points</translation>
    </message>
    <message>
        <source>Settings for solids</source>
        <translation>Settings for solids</translation>
    </message>
    <message>
        <source>Export MIPs</source>
        <translation>Export MIPs</translation>
    </message>
    <message>
        <source>Quality of facet model</source>
        <translation>Quality of facet model</translation>
    </message>
    <message>
        <source>Without geometry</source>
        <translation>Without geometry</translation>
    </message>
    <message>
        <source>MIP for each solid</source>
        <translation>MIP for each solid</translation>
    </message>
    <message>
        <source>Single MIP for all solids</source>
        <translation>Single MIP for all solids</translation>
    </message>
    <message>
        <source>Visibility settings</source>
        <translation>Visibility settings</translation>
    </message>
    <message>
        <source>All objects (invisible as invisible)</source>
        <translation>All objects (invisible as invisible)</translation>
    </message>
    <message>
        <source>All objects (invisible as visible)</source>
        <translation>All objects (invisible as visible)</translation>
    </message>
    <message>
        <source>Export settings for templates</source>
        <translation>Export settings for templates</translation>
    </message>
    <message>
        <source>Simple enumeration of objects</source>
        <translation>Simple enumeration of objects</translation>
    </message>
    <message>
        <source>Search for templates</source>
        <translation>Search for templates</translation>
    </message>
    <message>
        <source>Extended settings</source>
        <translation>Extended settings</translation>
    </message>
    <message>
        <source>EMC Tool</source>
        <translation>EMC Tool</translation>
    </message>
    <message>
        <source>EMC file path</source>
        <translation>EMC file path</translation>
    </message>
    <message>
        <source>Edit config</source>
        <translation>Edit config</translation>
    </message>
    <message>
        <source>Output file</source>
        <translation>Output file</translation>
    </message>
    <message>
        <source>File path</source>
        <translation>File path</translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>About</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Error!</source>
        <translation>Error!</translation>
    </message>
    <message>
        <source>Unknown error.</source>
        <translation>Unknown error.</translation>
    </message>
    <message>
        <source>The CAD tree has been loaded.</source>
        <translation>The CAD tree has been loaded.</translation>
    </message>
    <message>
        <source>Unable to get a CAD tree from a CAD plugin!</source>
        <translation>Unable to get a CAD tree from a CAD plugin!</translation>
    </message>
    <message>
        <source>Save ZEL file</source>
        <translation>Save ZEL file</translation>
    </message>
    <message>
        <source>ZEL Files (*.zel);;All Files (*)</source>
        <translation>ZEL Files (*.zel);;All Files (*)</translation>
    </message>
    <message>
        <source>Unable to export a CAD tree!</source>
        <translation>Unable to export a CAD tree!</translation>
    </message>
    <message>
        <source>The ZEL export has been done.</source>
        <translation>The ZEL export has been done.</translation>
    </message>
    <message>
        <source>Unable to choose the output file!</source>
        <translation>Unable to choose the output file!</translation>
    </message>
    <message>
        <source>Unable to set highlight!</source>
        <translation>Unable to set highlight!</translation>
    </message>
    <message>
        <source>Coarse</source>
        <translation>Coarse</translation>
    </message>
    <message>
        <source>Standard</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>Fine</source>
        <translation>Fine</translation>
    </message>
    <message>
        <source>Extra Fine</source>
        <translation>Extra Fine</translation>
    </message>
    <message>
        <source>About Tarvik</source>
        <translation>About Tarvik</translation>
    </message>
    <message>
        <source>&lt;b&gt;Tarvik&lt;/b&gt; %1&lt;br&gt;Export settings and the CAD tree for the ZEL export of the CAD plugin.</source>
        <translation>&lt;b&gt;Tarvik&lt;/b&gt; %1&lt;br&gt;Export settings and the CAD tree for the ZEL export of the CAD plugin.</translation>
    </message>
    <message>
        <source>Current Language changed to %1</source>
        <translation>Current Language changed to %1</translation>
    </message>
</context>
<context>
    <name>NameCorrectionProxyModel</name>
    <message>
        <source>ZEL Tree</source>
        <translation>ZEL Tree</translation>
    </message>
</context>
<context>
    <name>Tarvik</name>
    <message>
        <source>Error!</source>
        <translation>Error!</translation>
    </message>
    <message>
        <source>GUI can be started only from the CAD plugin!</source>
        <translation>GUI can be started only from the CAD plugin!</translation>
    </message>
    <message>
        <source>Unable to connect to the CAD plugin from GUI!</source>
        <translation>Unable to connect to the CAD plugin from GUI!</translation>
    </message>
</context>
</TS>
