// The CAE item and CAD item dialogs: what they offer, what they store.
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QListView>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QtTest>

#include "gui/emc/emc_dialog.h"
#include "gui/common/node_icons.h"

namespace {

QStringList offered(EMC_Dialog& dialog)
{
    auto* combo = dialog.findChild<QComboBox*>("method_combo_box");
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
    return texts;
}

}  // namespace

class EmcDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { load_node_icons(); }

    void a_new_item_offers_every_method_and_solidB_takes_a_size()
    {
        EMC::M_obj item;
        item.name = "New CAE item";
        EMC_Dialog dialog(item, {});
        QCOMPARE(offered(dialog), (QStringList{"solid", "solidB", "point"}));
        auto* combo = dialog.findChild<QComboBox*>("method_combo_box");
        auto* size = dialog.findChild<QDoubleSpinBox*>("min_size_spin_box");
        QCOMPARE(combo->currentIndex(), 0);
        QVERIFY(!size->isEnabled());

        combo->setCurrentIndex(1);
        QVERIFY(size->isEnabled());
        size->setValue(12.5);
        dialog.findChild<QPlainTextEdit*>("comments_text_edit")->setPlainText("fine mesh");
        dialog.apply();
        QCOMPARE(item.method, int(EMC::M_obj::solidB));
        QCOMPARE(item.size_min, std::optional<double>(12.5));
        QCOMPARE(item.comment, std::optional<std::string>("fine mesh"));

        combo->setCurrentIndex(2);
        QVERIFY(!size->isEnabled());
        dialog.apply();
        QCOMPARE(item.method, int(EMC::M_obj::point));
        QVERIFY(!item.size_min);
    }

    void an_item_with_cad_objects_keeps_to_its_kind()
    {
        EMC::M_obj points;
        points.method = EMC::M_obj::point;
        points.cad_objects.resize(1);
        EMC_Dialog point_dialog(points, {2});
        QCOMPARE(offered(point_dialog), QStringList{"point"});
        QVERIFY(!point_dialog.findChild<QDoubleSpinBox*>("min_size_spin_box")->isEnabled());

        EMC::M_obj solids;
        solids.method = EMC::M_obj::solidB;
        solids.size_min = 3;
        solids.cad_objects = {{"1 ", "Beam", {}, {}}, {"2 ", "Gone", {}, {}}};
        EMC_Dialog solid_dialog(solids, {1, 3});
        QCOMPARE(offered(solid_dialog), (QStringList{"solid", "solidB"}));
        QCOMPARE(solid_dialog.findChild<QComboBox*>("method_combo_box")->currentIndex(), 1);
        QCOMPARE(solid_dialog.findChild<QDoubleSpinBox*>("min_size_spin_box")->value(), 3.0);
        // The subelements list, with the "unknown" picture for an object not found.
        const QAbstractItemModel* list = solid_dialog.findChild<QListView*>("subelements_listview")->model();
        QCOMPARE(list->rowCount(), 2);
        QCOMPARE(list->index(1, 0).data().toString(), QString("Gone"));
        QCOMPARE(list->index(1, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey(), cad_object_icon(3).cacheKey());
    }
};

QTEST_MAIN(EmcDialogsTest)
#include "emc_dialogs_test.moc"
