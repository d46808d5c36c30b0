// The item model over the CAD tree as an EMC configuration reshapes it
// (the rules themselves: tests/tarvik; reshaping through the window, with
// the add-in's sizes and its failures: emc_window_test, main_window_test).
#include <QAbstractItemModelTester>
#include <QtTest>

#include "gui/cadtree/cad_emc_proxy_model.h"
#include "gui/cadtree/cad_tree_model.h"
#include "gui/common/node_icons.h"
#include "tests/tree_maker.h"

using tarvik::EmcItem;

class CadEmcProxyTest : public QObject {
    Q_OBJECT

    velmora::testing::Machine machine;
    CAD_EMC_ProxyModel proxy;
    QAbstractItemModelTester tester{&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest};

    EmcItem item(int method, double min_mm, const std::vector<const char*>& names)
    {
        EmcItem item{"New CAE item", method, min_mm, {}};
        for (const char* name : names) item.objects.push_back({machine.id.at(name)});
        return item;
    }
    // Shows `items` over `tree`; false when the build threw.
    bool show(const std::vector<EmcItem>& items, const CAD_RPC::Tree& tree)
    {
        try {
            proxy.rebuild([&](tarvik::EmcShape& shape) { shape.build(tree, items, false, machine.sizes()); });
            return true;
        } catch (const std::exception&) {
            return false;
        }
    }

private slots:
    void initTestCase() { load_node_icons(); }

    void rows_carry_their_cad_nodes()
    {
        QVERIFY(show({item(EmcItem::Point, 0, {"Frame", "Mark"}), item(EmcItem::SolidB, 1000, {"Frame"})}, machine.tree));
        QCOMPARE(proxy.rowCount(), 2);
        // A CAE item stands for no CAD object; the rows below carry their CAD nodes.
        const QModelIndex cae = proxy.index(0, 0);
        QCOMPARE(cae.data().toString(), QString("New CAE item"));
        QCOMPARE(cae.data(CAD_TreeModel::IdRole).toInt(), -1);
        QCOMPARE(proxy.index(0, 0, cae).data(Qt::UserRole).value<CAD_RPC::Node*>(),
                 &machine.tree.nodes.at(machine.id.at("Frame")));
        // Plate, smaller than 1000 mm, became a MIP element that keeps its CAD id and parent.
        const QModelIndex plate = proxy.index(2, 0, proxy.index(0, 0, proxy.index(1, 0)));
        QCOMPARE(plate.data(CAD_TreeModel::TypeRole).toInt(), int(CAD_RPC::NodeType::ElementMIP));
        QCOMPARE(plate.data(CAD_TreeModel::IdRole).toInt(), machine.id.at("Plate"));
        QCOMPARE(plate.data(CAD_TreeModel::ParentIdRole).toInt(), machine.id.at("Frame"));
    }

    void a_failed_build_leaves_an_empty_usable_proxy()
    {
        const std::vector<EmcItem> items{item(EmcItem::Solid, 0, {"Frame"})};
        QVERIFY(show(items, machine.tree));
        QCOMPARE(proxy.rowCount(), 1);
        // A tree that lacks a node the walk meets.
        CAD_RPC::Tree partial = machine.tree;
        partial.nodes.erase(machine.id.at("Beam"));
        QVERIFY(!show(items, partial));
        QCOMPARE(proxy.rowCount(), 0);
        QVERIFY(show(items, machine.tree));
        QCOMPARE(proxy.rowCount(), 1);
    }
};

QTEST_MAIN(CadEmcProxyTest)
#include "cad_emc_proxy_test.moc"
