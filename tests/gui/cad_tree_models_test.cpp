// The CAD tree model and the name-correcting export tree, over a tree the
// real handler served and over small trees made for one case each.
#include <QAbstractItemModelTester>
#include <QDataStream>
#include <QStandardItemModel>
#include <QtTest>

#include "cad_rpc_connection.h"
#include "gui/cadtree/cad_tree_check.h"
#include "gui/cadtree/cad_tree_model.h"
#include "export_client/export_tree.h"
#include "gui/cadtree/name_correction_proxy_model.h"
#include "gui/common/node_icons.h"
#include "served_add_in.h"
#include "tree_rows.h"
#include "tests/tree_maker.h"

using tarvik::testing::ServedAddIn;
using velmora::testing::TreeMaker;

namespace {

QStringList shown_names(const QAbstractItemModel& model, const QModelIndex& parent = {})
{
    QStringList names;
    for (int row = 0; row < model.rowCount(parent); ++row) names << model.index(row, 0, parent).data().toString();
    return names;
}

// The top level of `tree` as a plain item model with the CAD tree's roles,
// under a name-correcting proxy: the proxy's path for sources other than
// CAD_TreeModel.
std::unique_ptr<NameCorrectionProxyModel> names_over_other_source(const CAD_RPC::Tree& tree)
{
    auto* items = new QStandardItemModel;
    for (int32_t id : tree.nodes.at(tree.root_id).children_ids) {
        auto* item = new QStandardItem;
        item->setData(QString::fromStdString(tree.nodes.at(id).name), CAD_TreeModel::NameRole);
        item->setData(QVariant::fromValue(qulonglong(id) + 1000), CAD_TreeModel::NodeAddressRole);
        items->appendRow(item);
    }
    auto proxy = std::make_unique<NameCorrectionProxyModel>();
    items->setParent(proxy.get());
    proxy->setSourceModel(items);
    return proxy;
}

}  // namespace

class CadTreeModelsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ServedAddIn> add_in;
    CAD_RPC::Tree served;

private slots:
    void initTestCase()
    {
        load_node_icons();
        add_in = std::make_unique<ServedAddIn>();
        CAD_RPC::CAD_RPC_Connection connection(add_in->port());
        connection.client().get_cad_tree(served);
        check_cad_tree(served);
    }

    void both_models_pass_the_model_tester_over_a_served_tree()
    {
        CAD_TreeModel model;
        model.set_tree(&served);
        QAbstractItemModelTester model_test(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        NameCorrectionProxyModel proxy;
        proxy.setSourceModel(&model);
        QAbstractItemModelTester proxy_test(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);

        QCOMPARE(shown_names(model), (QStringList{"A", "B", "Axis"}));
        const QModelIndex a = tarvik::testing::cad_row(model, "A");
        QCOMPARE(shown_names(model, a), (QStringList{"Body", "Body", "Point 1"}));
        QCOMPARE(shown_names(proxy, proxy.mapFromSource(a)), (QStringList{"Body", "Body_$1", "Point_1"}));
    }

    void curves_and_mips_cannot_be_dragged()
    {
        TreeMaker maker;
        const int32_t group = maker.add(0, "Group", CAD_RPC::NodeType::Structure);
        maker.add(group, "Solid");
        maker.add(group, "MIP", CAD_RPC::NodeType::ElementMIP);
        maker.add(group, "Curve", CAD_RPC::NodeType::Curve);
        maker.add(group, "Point", CAD_RPC::NodeType::Point);
        maker.add(group, "Odd", static_cast<CAD_RPC::NodeType::type>(7));
        CAD_TreeModel model;
        model.set_tree(&maker.tree);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QModelIndex g = model.index(0, 0);
        QVERIFY(model.flags(g) & Qt::ItemIsDragEnabled);
        const bool draggable[] = {true, false, false, true, true};
        for (int row = 0; row < 5; ++row) {
            const QModelIndex index = model.index(row, 0, g);
            QCOMPARE(bool(model.flags(index) & Qt::ItemIsDragEnabled), draggable[row]);
            QVERIFY(model.flags(index) & Qt::ItemIsSelectable);
        }
        QCOMPARE(model.sibling(3, 0, model.index(1, 0, g)).data().toString(), QString("Point"));
    }

    void broken_trees_are_refused_with_the_fault_named()
    {
        auto refused = [](const CAD_RPC::Tree& tree, const char* fault) {
            try {
                check_cad_tree(tree);
            } catch (const std::runtime_error& e) {
                return QString(e.what()).contains(fault);
            }
            return false;
        };
        TreeMaker missing_root;
        missing_root.tree.root_id = 5;
        QVERIFY(refused(missing_root.tree, "root 5 is missing"));
        TreeMaker missing_child;
        missing_child.tree.nodes[0].children_ids.push_back(9);
        QVERIFY(refused(missing_child.tree, "missing child 9"));
        TreeMaker cycle;
        const int32_t a = cycle.add(0, "a", CAD_RPC::NodeType::Structure);
        cycle.tree.nodes[a].children_ids.push_back(0);
        cycle.tree.nodes[0].parent_id = a;
        QVERIFY(refused(cycle.tree, "listed twice"));
        TreeMaker wrong_parent;
        const int32_t b = wrong_parent.add(0, "b");
        wrong_parent.tree.nodes[b].parent_id = 42;
        QVERIFY(refused(wrong_parent.tree, "names parent 42"));
        TreeMaker wrong_key;
        wrong_key.tree.nodes[0].id = 3;
        QVERIFY(refused(wrong_key.tree, "carries id 3"));
        QVERIFY(!refused(served, ""));
    }

    void names_are_corrected_and_made_unique_among_siblings_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("corrected");
        QTest::newRow("separators, digits, empty")
            << QStringList{"Bolt M6", "Bolt/M6", "3D sketch", ""} << QStringList{"Bolt_M6", "Bolt_M6_$1", "_3D_sketch", "_"};
        QTest::newRow("three alike") << QStringList{"A", "A", "A"} << QStringList{"A", "A_$1", "A_$2"};
        QTest::newRow("trailing underscore") << QStringList{"Part_", "Part_"} << QStringList{"Part_", "Part_$1"};
        QTest::newRow("a suffix in the source") << QStringList{"A", "A_$1", "A", "A"}
                                                << QStringList{"A", "A__1", "A_$1", "A_$2"};
        QTest::newRow("Cyrillic and accents") << QStringList{"Деталь-1", "Pièce", "Ёлка ё"}
                                              << QStringList{"Деталь_1", "Pi_ce", "Ёлка_ё"};
        QTest::newRow("one underscore per character") << QStringList{"a  b", "7", "€uro", "x😀"}
                                                      << QStringList{"a__b", "_7", "_uro", "x_"};
        // A and A_ both suffix to A_$N: a taken name counts on until it is free.
        QTest::newRow("suffixes that meet") << QStringList{"A", "A", "A_", "A_"}
                                            << QStringList{"A", "A_$1", "A_", "A_$2"};
        QTest::newRow("suffixes that meet again") << QStringList{"A_", "A_", "A", "A", "A_", "A"}
                                                  << QStringList{"A_", "A_$1", "A", "A_$2", "A_$3", "A_$4"};
    }
    void names_are_corrected_and_made_unique_among_siblings()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, corrected);
        TreeMaker maker;
        for (const QString& name : names) maker.add(0, name.toUtf8().constData());
        CAD_TreeModel model;
        model.set_tree(&maker.tree);
        NameCorrectionProxyModel proxy;
        proxy.setSourceModel(&model);
        QCOMPARE(shown_names(proxy), corrected);
        for (int row = 0; row < proxy.rowCount(); ++row)
            QCOMPARE(proxy.index(row, 0).data(CAD_TreeModel::NameRole).toString(), corrected[row]);
        // Other roles pass through.
        QCOMPARE(proxy.index(0, 0).data(CAD_TreeModel::IdRole).toInt(), 1);
        // Any other source (the EMC proxy) gets the same names through its roles.
        QCOMPARE(shown_names(*names_over_other_source(maker.tree)), corrected);
    }

    // Bytes that are not UTF-8 take the decoding path, each bad byte one "_".
    void names_that_are_not_utf8_are_corrected_as_decoded()
    {
        TreeMaker maker;
        for (const char* name : {"\xff\xfe" "A", "ok\x80", "\xd0", "9\xc3\xa9"}) maker.add(0, name);
        CAD_TreeModel model;
        model.set_tree(&maker.tree);
        NameCorrectionProxyModel proxy;
        proxy.setSourceModel(&model);
        const QStringList shown = shown_names(proxy);
        QCOMPARE(shown, shown_names(*names_over_other_source(maker.tree)));
        QCOMPARE(shown, (QStringList{"__A", "ok_", "_", "_9_"}));
    }

    void the_same_name_under_two_parents_keeps_its_name()
    {
        TreeMaker maker;
        const int32_t a = maker.add(0, "A", CAD_RPC::NodeType::Structure);
        const int32_t b = maker.add(0, "B", CAD_RPC::NodeType::Structure);
        maker.add(a, "Body");
        maker.add(b, "Body");
        maker.add(b, "Body");
        CAD_TreeModel model;
        model.set_tree(&maker.tree);
        NameCorrectionProxyModel proxy;
        proxy.setSourceModel(&model);
        QCOMPARE(shown_names(proxy, proxy.index(0, 0)), QStringList{"Body"});
        QCOMPARE(shown_names(proxy, proxy.index(1, 0)), (QStringList{"Body", "Body_$1"}));
    }

    void a_new_source_empties_the_name_cache()
    {
        TreeMaker first, second;
        first.add(0, "Old");
        second.add(0, "New name");
        CAD_TreeModel one, two;
        one.set_tree(&first.tree);
        two.set_tree(&second.tree);
        NameCorrectionProxyModel proxy;
        proxy.setSourceModel(&one);
        QCOMPARE(proxy.index(0, 0).data().toString(), QString("Old"));
        proxy.setSourceModel(&two);
        QCOMPARE(proxy.index(0, 0).data().toString(), QString("New_name"));
    }

    void a_deleted_source_leaves_an_empty_proxy()
    {
        TreeMaker maker;
        maker.add(0, "A");
        auto* model = new CAD_TreeModel;
        model->set_tree(&maker.tree);
        NameCorrectionProxyModel proxy;
        proxy.setSourceModel(model);
        QCOMPARE(proxy.index(0, 0).data().toString(), QString("A"));
        delete model;
        QCOMPARE(proxy.rowCount(), 0);
        QVERIFY(!proxy.index(0, 0).isValid());
    }
};

QTEST_MAIN(CadTreeModelsTest)
#include "cad_tree_models_test.moc"
