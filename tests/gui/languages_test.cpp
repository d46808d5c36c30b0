// The language machinery with the program's real translation files, run
// with the system locale ru_RU (set by the test's environment).
#include <QAction>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeView>
#include <QtTest>

#include "gui/shell/main_window.h"
#include "served_add_in.h"


class LanguagesTest : public QObject {
    Q_OBJECT

    tarvik::testing::ServedTarvik served;

    // The toolkit posts the language-change event; the program's loop delivers it.
    static void deliver_events() { QCoreApplication::processEvents(); }

    static QList<QAction*> language_actions(MainWindow& window)
    {
        return window.findChild<QMenu*>("menu_language")->actions();
    }

private slots:
    void initTestCase() { QCOMPARE(QLocale::system().name(), QString("ru_RU")); }
    void cleanup() { QVERIFY2(served.reports.isEmpty(), qPrintable(served.reports.join('\n'))); }

    void the_system_language_is_chosen_at_start()
    {
        MainWindow window(served.client(), "");
        deliver_events();
        const QList<QAction*> actions = language_actions(window);
        QCOMPARE(actions.size(), 2);
        QCOMPARE(actions[0]->text(), QString("English"));
        QCOMPARE(actions[1]->text(), QString("Russian"));
        QCOMPARE(actions[1]->data().toString(), QString("ru"));
        QVERIFY(!actions[0]->isChecked());
        QVERIFY(actions[1]->isChecked());
        QVERIFY(!actions[0]->icon().isNull() && !actions[1]->icon().isNull());
        QCOMPARE(window.windowIcon().cacheKey(), actions[1]->icon().cacheKey());
        QCOMPARE(QLocale().language(), QLocale::Russian);

        // Both translators come from the ru files: the program's texts and the toolkit's.
        QCOMPARE(window.findChild<QPushButton*>("export_button")->text(), QString("Экспорт"));
        QCOMPARE(window.findChild<QTreeView*>("CAD_tree_view")->model()->headerData(0, Qt::Horizontal).toString(),
                 QString("Дерево САПР"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Отмена"));
        QCOMPARE(EmcFiles::tr("Save EMC file"), QString("Сохранить файл EMC"));
        QCOMPARE(window.statusBar()->currentMessage(), QString("Дерево САПР загружено."));
        // "ЭМС" would read as electromagnetic compatibility.
        QCOMPARE(window.findChild<QGroupBox*>("EMC_settings_groupbox")->title(), QString("Инструмент EMC"));
    }

    void switching_languages_retranslates_and_says_so()
    {
        MainWindow window(served.client(), "");
        const QList<QAction*> actions = language_actions(window);
        actions[0]->trigger();
        deliver_events();
        QCOMPARE(window.statusBar()->currentMessage(), QString("Current Language changed to English"));
        QCOMPARE(window.findChild<QPushButton*>("export_button")->text(), QString("Export"));
        QCOMPARE(window.findChild<QTreeView*>("ZEL_tree_view")->model()->headerData(0, Qt::Horizontal).toString(),
                 QString("ZEL Tree"));
        // No qt_en.qm: the toolkit's translator stays out, its texts English.
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Cancel"));
        QVERIFY(actions[0]->isChecked() && !actions[1]->isChecked());

        actions[1]->trigger();
        deliver_events();
        QCOMPARE(window.statusBar()->currentMessage(), QString("Язык интерфейса изменён: Russian"));
        QCOMPARE(window.findChild<QMenu*>("menu_help")->title(), QString("Справка"));

        // The language already loaded: nothing is reloaded, nothing is said.
        window.statusBar()->showMessage("unchanged");
        actions[1]->trigger();
        QCOMPARE(window.statusBar()->currentMessage(), QString("unchanged"));
        QVERIFY(actions[1]->isChecked());
    }
};

QTEST_MAIN(LanguagesTest)
#include "languages_test.moc"
