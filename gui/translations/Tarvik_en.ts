<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>CAD_Dialog</name>
    <message>
        <source>Edit CAD item</source>
        <translation>Edit CAD item</translation>
    </message>
    <message>
        <source>ID</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Export rules</source>
        <translation>Export rules</translation>
    </message>
    <message>
        <source>Include object</source>
        <translation>Include object</translation>
    </message>
    <message>
        <source>Always include geometry</source>
        <translation>Always include geometry</translation>
    </message>
</context>
<context>
    <name>CAD_EMC_ProxyModel</name>
    <message>
        <source>Unable to apply the EMC configuration!</source>
        <translation>Unable to apply the EMC configuration!</translation>
    </message>
    <message>
        <source>CAD Tree</source>
        <translation>CAD Tree</translation>
    </message>
</context>
<context>
    <name>CAD_TreeModel</name>
    <message>
        <source>CAD Tree</source>
        <translation>CAD Tree</translation>
    </message>
</context>
<context>
    <name>EMC_Dialog</name>
    <message>
        <source>Edit CAE item</source>
        <translation>Edit CAE item</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Method</source>
        <translation>Method</translation>
    </message>
    <message>
        <source>Minimal size</source>
        <translation>Minimal size</translation>
    </message>
    <message>
        <source> mm</source>
        <translation> mm</translation>
    </message>
    <message>
        <source>[mm]</source>
        <translation>[mm]</translation>
    </message>
    <message>
        <source>Extended</source>
        <translation>Extended</translation>
    </message>
    <message>
        <source>Comments</source>
        <translation>Comments</translation>
    </message>
    <message>
        <source>Subelements</source>
        <translation>Subelements</translation>
    </message>
</context>
<context>
    <name>EMC_TreeModel</name>
    <message>
        <source>Not found in the CAD model</source>
        <translation>Not found in the CAD model</translation>
    </message>
    <message>
        <source>EMC Tree</source>
        <translation>EMC Tree</translation>
    </message>
    <message>
        <source>Unable to add the CAD objects!</source>
        <translation>Unable to add the CAD objects!</translation>
    </message>
    <message>
        <source>New CAE item</source>
        <translation>New CAE item</translation>
    </message>
    <message>
        <source>The CAE item &quot;%1&quot; holds no CAD objects; add some or remove the item.</source>
        <translation>The CAE item &quot;%1&quot; holds no CAD objects; add some or remove the item.</translation>
    </message>
    <message>
        <source>Unable to save EMC file!</source>
        <translation>Unable to save EMC file!</translation>
    </message>
    <message>
        <source>Unable to load EMC file!</source>
        <translation>Unable to load EMC file!</translation>
    </message>
</context>
<context>
    <name>EmcFiles</name>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Do you want to save your changes?</source>
        <translation>Do you want to save your changes?</translation>
    </message>
    <message>
        <source>The EMC tree has been modified.</source>
        <translation>The EMC tree has been modified.</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Discard</source>
        <translation>Discard</translation>
    </message>
    <message>
        <source>Open EMC file</source>
        <translation>Open EMC file</translation>
    </message>
    <message>
        <source>EMC Files (*.emc);;All Files (*)</source>
        <translation>EMC Files (*.emc);;All Files (*)</translation>
    </message>
    <message>
        <source>The EMC file has been loaded.</source>
        <translation>The EMC file has been loaded.</translation>
    </message>
    <message>
        <source>Unable to load the EMC file!</source>
        <translation>Unable to load the EMC file!</translation>
    </message>
    <message>
        <source>Save EMC file</source>
        <translation>Save EMC file</translation>
    </message>
    <message>
        <source>The EMC file has been saved.</source>
        <translation>The EMC file has been saved.</translation>
    </message>
    <message>
        <source>Unable to save the EMC file!</source>
        <translation>Unable to save the EMC file!</translation>
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
    <message>
        <source>Unknown error.</source>
        <translation>Unknown error.</translation>
    </message>
</context>
</TS>
