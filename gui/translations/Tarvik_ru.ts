<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>CAD_Dialog</name>
    <message>
        <source>Edit CAD item</source>
        <translation>Правка объекта САПР</translation>
    </message>
    <message>
        <source>ID</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Имя</translation>
    </message>
    <message>
        <source>Export rules</source>
        <translation>Правила экспорта</translation>
    </message>
    <message>
        <source>Include object</source>
        <translation>Включить объект</translation>
    </message>
    <message>
        <source>Always include geometry</source>
        <translation>Всегда включать геометрию</translation>
    </message>
</context>
<context>
    <name>CAD_EMC_ProxyModel</name>
    <message>
        <source>Unable to apply the EMC configuration!</source>
        <translation>Не удалось применить конфигурацию EMC!</translation>
    </message>
    <message>
        <source>CAD Tree</source>
        <translation>Дерево САПР</translation>
    </message>
</context>
<context>
    <name>CAD_TreeModel</name>
    <message>
        <source>CAD Tree</source>
        <translation>Дерево САПР</translation>
    </message>
</context>
<context>
    <name>EMC_Dialog</name>
    <message>
        <source>Edit CAE item</source>
        <translation>Правка элемента CAE</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Имя</translation>
    </message>
    <message>
        <source>Method</source>
        <translation>Метод</translation>
    </message>
    <message>
        <source>Minimal size</source>
        <translation>Минимальный размер</translation>
    </message>
    <message>
        <source> mm</source>
        <translation> мм</translation>
    </message>
    <message>
        <source>[mm]</source>
        <translation>[мм]</translation>
    </message>
    <message>
        <source>Extended</source>
        <translation>Дополнительно</translation>
    </message>
    <message>
        <source>Comments</source>
        <translation>Комментарии</translation>
    </message>
    <message>
        <source>Subelements</source>
        <translation>Подэлементы</translation>
    </message>
</context>
<context>
    <name>EMC_TreeModel</name>
    <message>
        <source>Not found in the CAD model</source>
        <translation>Не найден в модели САПР</translation>
    </message>
    <message>
        <source>EMC Tree</source>
        <translation>Дерево EMC</translation>
    </message>
    <message>
        <source>Unable to add the CAD objects!</source>
        <translation>Не удалось добавить объекты САПР!</translation>
    </message>
    <message>
        <source>New CAE item</source>
        <translation>Новый элемент CAE</translation>
    </message>
    <message>
        <source>The CAE item &quot;%1&quot; holds no CAD objects; add some or remove the item.</source>
        <translation>Элемент CAE «%1» не содержит объектов САПР: добавьте их или удалите элемент.</translation>
    </message>
    <message>
        <source>Unable to save EMC file!</source>
        <translation>Не удалось сохранить файл EMC!</translation>
    </message>
    <message>
        <source>Unable to load EMC file!</source>
        <translation>Не удалось загрузить файл EMC!</translation>
    </message>
</context>
<context>
    <name>EmcFiles</name>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Do you want to save your changes?</source>
        <translation>Сохранить изменения?</translation>
    </message>
    <message>
        <source>The EMC tree has been modified.</source>
        <translation>Дерево EMC изменено.</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Сохранить</translation>
    </message>
    <message>
        <source>Discard</source>
        <translation>Не сохранять</translation>
    </message>
    <message>
        <source>Open EMC file</source>
        <translation>Открыть файл EMC</translation>
    </message>
    <message>
        <source>EMC Files (*.emc);;All Files (*)</source>
        <translation>Файлы EMC (*.emc);;Все файлы (*)</translation>
    </message>
    <message>
        <source>The EMC file has been loaded.</source>
        <translation>Файл EMC загружен.</translation>
    </message>
    <message>
        <source>Unable to load the EMC file!</source>
        <translation>Не удалось загрузить файл EMC!</translation>
    </message>
    <message>
        <source>Save EMC file</source>
        <translation>Сохранить файл EMC</translation>
    </message>
    <message>
        <source>The EMC file has been saved.</source>
        <translation>Файл EMC сохранён.</translation>
    </message>
    <message>
        <source>Unable to save the EMC file!</source>
        <translation>Не удалось сохранить файл EMC!</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Main settings</source>
        <translation>Основные настройки</translation>
    </message>
    <message>
        <source>Object types for export</source>
        <translation>Типы объектов для экспорта</translation>
    </message>
    <message>
        <source>Solids</source>
        <translation>Тела</translation>
    </message>
    <message>
        <source>Curves</source>
        <translation>Кривые</translation>
    </message>
    <message>
        <source>Points</source>
        <translation>Точки</translation>
    </message>
    <message>
        <source>Settings for solids</source>
        <translation>Настройки для тел</translation>
    </message>
    <message>
        <source>Export MIPs</source>
        <translation>Экспортировать МИХ</translation>
    </message>
    <message>
        <source>Quality of facet model</source>
        <translation>Качество фасетной модели</translation>
    </message>
    <message>
        <source>Without geometry</source>
        <translation>Без геометрии</translation>
    </message>
    <message>
        <source>MIP for each solid</source>
        <translation>МИХ для каждого тела</translation>
    </message>
    <message>
        <source>Single MIP for all solids</source>
        <translation>Единые МИХ для всех тел</translation>
    </message>
    <message>
        <source>Visibility settings</source>
        <translation>Настройки видимости</translation>
    </message>
    <message>
        <source>All objects (invisible as invisible)</source>
        <translation>Все объекты (невидимые как невидимые)</translation>
    </message>
    <message>
        <source>All objects (invisible as visible)</source>
        <translation>Все объекты (невидимые как видимые)</translation>
    </message>
    <message>
        <source>Export settings for templates</source>
        <translation>Настройки экспорта шаблонов</translation>
    </message>
    <message>
        <source>Simple enumeration of objects</source>
        <translation>Простое перечисление объектов</translation>
    </message>
    <message>
        <source>Search for templates</source>
        <translation>Поиск шаблонов</translation>
    </message>
    <message>
        <source>Extended settings</source>
        <translation>Расширенные настройки</translation>
    </message>
    <message>
        <source>EMC Tool</source>
        <translation>Инструмент EMC</translation>
    </message>
    <message>
        <source>EMC file path</source>
        <translation>Путь к файлу EMC</translation>
    </message>
    <message>
        <source>Edit config</source>
        <translation>Правка конфигурации</translation>
    </message>
    <message>
        <source>Output file</source>
        <translation>Выходной файл</translation>
    </message>
    <message>
        <source>File path</source>
        <translation>Путь к файлу</translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation>Обзор...</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Экспорт</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>Язык</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Справка</translation>
    </message>
    <message>
        <source>About</source>
        <translation>О программе</translation>
    </message>
    <message>
        <source>The CAD tree has been loaded.</source>
        <translation>Дерево САПР загружено.</translation>
    </message>
    <message>
        <source>Unable to get a CAD tree from a CAD plugin!</source>
        <translation>Не удалось получить дерево САПР от модуля САПР!</translation>
    </message>
    <message>
        <source>Save ZEL file</source>
        <translation>Сохранить файл ZEL</translation>
    </message>
    <message>
        <source>ZEL Files (*.zel);;All Files (*)</source>
        <translation>Файлы ZEL (*.zel);;Все файлы (*)</translation>
    </message>
    <message>
        <source>Unable to export a CAD tree!</source>
        <translation>Не удалось экспортировать дерево САПР!</translation>
    </message>
    <message>
        <source>The ZEL export has been done.</source>
        <translation>Экспорт в ZEL выполнен.</translation>
    </message>
    <message>
        <source>Unable to choose the output file!</source>
        <translation>Не удалось выбрать выходной файл!</translation>
    </message>
    <message>
        <source>Unable to set highlight!</source>
        <translation>Не удалось установить подсветку!</translation>
    </message>
    <message>
        <source>Coarse</source>
        <translation>Грубое</translation>
    </message>
    <message>
        <source>Standard</source>
        <translation>Стандартное</translation>
    </message>
    <message>
        <source>Fine</source>
        <translation>Точное</translation>
    </message>
    <message>
        <source>Extra Fine</source>
        <translation>Сверхточное</translation>
    </message>
    <message>
        <source>About Tarvik</source>
        <translation>О программе Tarvik</translation>
    </message>
    <message>
        <source>&lt;b&gt;Tarvik&lt;/b&gt; %1&lt;br&gt;Export settings and the CAD tree for the ZEL export of the CAD plugin.</source>
        <translation>&lt;b&gt;Tarvik&lt;/b&gt; %1&lt;br&gt;Настройки экспорта и дерево САПР для экспорта в ZEL модулем САПР.</translation>
    </message>
    <message>
        <source>Current Language changed to %1</source>
        <translation>Язык интерфейса изменён: %1</translation>
    </message>
</context>
<context>
    <name>NameCorrectionProxyModel</name>
    <message>
        <source>ZEL Tree</source>
        <translation>Дерево ZEL</translation>
    </message>
</context>
<context>
    <name>Tarvik</name>
    <message>
        <source>Error!</source>
        <translation>Ошибка!</translation>
    </message>
    <message>
        <source>GUI can be started only from the CAD plugin!</source>
        <translation>Графический интерфейс можно запустить только из модуля САПР!</translation>
    </message>
    <message>
        <source>Unable to connect to the CAD plugin from GUI!</source>
        <translation>Не удалось подключиться к модулю САПР из графического интерфейса!</translation>
    </message>
    <message>
        <source>Unknown error.</source>
        <translation>Неизвестная ошибка.</translation>
    </message>
</context>
</TS>
