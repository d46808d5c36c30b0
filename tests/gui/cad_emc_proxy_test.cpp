// The item model over the CAD tree as an EMC configuration reshapes it
// (the rules themselves: tests/tarvik), against the add-in's handler: the
// size comparison is the add-in's own, and a failure leaves it usable (its
// report: main_window_test).
#include <QAbstractItemModelTester>
#include <QtTest>

#include "cad_rpc_connection.h"
#include "gui/cadtree/cad_emc_proxy_model.h"
#include "gui/cadtree/cad_tree_model.h"
#include "gui/cadtree/name_correction_proxy_model.h"
#include "gui/emc/emc_tree_model.h"
#include "gui/common/node_icons.h"
#include "export_client/export_client.h"
#include "served_add_in.h"
#include "tree_rows.h"

using tarvik::testing::ServedAddIn;
using velmora::memory::MemoryModel;

namespace {

// Machine: Frame (Bolts (Bolt 1, Bolt 2), Beam 2 m, Plate 0.5 m, point
// Mark), Motor (Rotor 0.3 m), the root's curve Axis. Bolts are 10 mm.
void build_machine(MemoryModel& model)
{
    auto doc = model.open_assembly(u"Machine");
    auto frame = model.add_component(*doc->configuration->root, u"Frame");
    auto bolts = model.add_component(*frame, u"Bolts");
    auto solid = [&](velmora::memory::MemoryContent& owner, const char16_t* name, double size) {
        auto body = model.add_body(owner, name);
        body->add_face({{{0, 0, 0}, {size, 0, 0}, {0, size, 0}}});
        body->mass_properties = {0, {0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0}};
    };
    solid(*bolts, u"Bolt 1", 0.01);
    solid(*bolts, u"Bolt 2", 0.01);
    solid(*frame, u"Beam", 2.0);
    solid(*frame, u"Plate", 0.5);
    auto mark = model.add_feature(*frame, u"RefPoint", u"Mark");
    mark->point_definition = model.make<velmora::memory::MemoryPointDefinition>();
    auto motor = model.add_component(*doc->configuration->root, u"Motor");
    solid(*motor, u"Rotor", 0.3);
    model.add_feature(*doc->content, u"RefCurve", u"Axis");
}

}  // namespace

class CadEmcProxyTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ServedAddIn> add_in;
    std::unique_ptr<CAD_RPC::CAD_RPC_Connection> connection;
    CAD_RPC::Tree tree;
    CAD_TreeModel cad_model;

    int32_t id_of(const char* name) const { return tarvik::testing::cad_row(cad_model, name).data(CAD_TreeModel::IdRole).toInt(); }

    // Adds a CAE item with these CAD objects (the proxy reads the model's configuration).
    void add_item(EMC_TreeModel& emc, int method, double min_size_mm, const std::vector<const char*>& objects)
    {
        EMC::M_obj item;
        item.name = "New CAE item";
        item.method = method;
        item.size_min = min_size_mm;
        emc.add_item(item);
        std::vector<EMC::CAD_obj> cad;
        std::vector<int32_t> ids;
        for (const char* name : objects) {
            cad.push_back({"", name, std::nullopt, std::nullopt});
            ids.push_back(id_of(name));
        }
        emc.add_objects(emc.rowCount() - 1, cad, ids);
    }

    // The proxy's tree as text: "name(type)" with children in brackets.
    static QString shape(const QAbstractItemModel& model, const QModelIndex& parent = {})
    {
        QStringList parts;
        for (int row = 0; row < model.rowCount(parent); ++row) {
            const QModelIndex index = model.index(row, 0, parent);
            QString part = index.data().toString();
            const int type = index.data(CAD_TreeModel::TypeRole).toInt();
            if (type == CAD_RPC::NodeType::ElementMIP) part += "(MIP)";
            if (model.rowCount(index) > 0) part += "[" + shape(model, index) + "]";
            parts << part;
        }
        return parts.join(", ");
    }

    struct Setup {
        EMC_TreeModel emc;
        CAD_EMC_ProxyModel proxy;
        // Rebuilds the proxy from the EMC model; false when that threw.
        bool rebuild(const CAD_RPC::Tree& from, CAD_RPC::CAD_RPC_ServiceClient& client)
        {
            try {
                proxy.rebuild([&](tarvik::EmcShape& shape) {
                    shape.build(from, tarvik::emc_items(emc.config(), emc.node_ids()), false,
                                tarvik::size_comparison(client));
                });
                return true;
            } catch (const std::exception&) {
                return false;
            }
        }
    };
    std::unique_ptr<Setup> setup()
    {
        auto s = std::make_unique<Setup>();
        s->emc.set_tree(&tree);
        return s;
    }

private slots:
    void initTestCase()
    {
        load_node_icons();
        add_in = std::make_unique<ServedAddIn>(build_machine);
        connection = std::make_unique<CAD_RPC::CAD_RPC_Connection>(add_in->port());
        connection->client().get_cad_tree(tree);
        cad_model.set_tree(&tree);
    }
    void the_proxy_shows_the_reshaped_tree_with_its_nodes()
    {
        auto s = setup();
        QAbstractItemModelTester tester(&s->proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(s->proxy.rowCount(), 0);
        add_item(s->emc, EMC::M_obj::point, 0, {"Frame", "Mark"});
        add_item(s->emc, EMC::M_obj::solidB, 1000, {"Frame"});
        QVERIFY(s->rebuild(tree, connection->client()));
        QCOMPARE(shape(s->proxy), QString("New CAE item[Frame, Mark], "
                                          "New CAE item[Frame[Bolts[Bolt 1(MIP), Bolt 2(MIP)], Beam, Plate(MIP)]]"));
        // A CAE item stands for no CAD object; the rows below carry their CAD nodes.
        const QModelIndex cae = s->proxy.index(0, 0);
        QCOMPARE(cae.data(CAD_TreeModel::IdRole).toInt(), -1);
        QCOMPARE(s->proxy.index(0, 0, cae).data(Qt::UserRole).value<CAD_RPC::Node*>(), &tree.nodes.at(id_of("Frame")));
        const QModelIndex plate = s->proxy.index(2, 0, s->proxy.index(0, 0, s->proxy.index(1, 0)));
        QCOMPARE(plate.data(CAD_TreeModel::IdRole).toInt(), id_of("Plate"));
        QCOMPARE(plate.data(CAD_TreeModel::ParentIdRole).toInt(), id_of("Frame"));
    }

    void a_failure_leaves_an_empty_usable_proxy()
    {
        auto s = setup();
        QAbstractItemModelTester tester(&s->proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
        add_item(s->emc, EMC::M_obj::solid, 0, {"Frame"});
        QVERIFY(s->rebuild(tree, connection->client()));
        QCOMPARE(s->proxy.rowCount(), 1);
        // A tree that lacks a node the walk meets.
        CAD_RPC::Tree partial = tree;
        partial.nodes.erase(id_of("Beam"));
        QVERIFY(!s->rebuild(partial, connection->client()));
        QCOMPARE(s->proxy.rowCount(), 0);
        QVERIFY(s->rebuild(tree, connection->client()));
        QCOMPARE(s->proxy.rowCount(), 1);

        // The add-in gone in the middle of a size comparison.
        add_item(s->emc, EMC::M_obj::solidB, 10, {"Motor"});
        ServedAddIn other(build_machine);
        CAD_RPC::CAD_RPC_Connection link(other.port());
        other.stop();
        QVERIFY(!s->rebuild(tree, link.client()));
        QCOMPARE(s->proxy.rowCount(), 0);
    }
};

QTEST_MAIN(CadEmcProxyTest)
#include "cad_emc_proxy_test.moc"
