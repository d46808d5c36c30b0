// The CAD tree reshaped by an EMC configuration, against the add-in's
// handler (the size comparison is the add-in's own), and its export.
#include <filesystem>
#include <fstream>

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QMimeData>
#include <QtTest>

#include "cad_rpc_connection.h"
#include "gui/cadtree/cad_emc_proxy_model.h"
#include "gui/cadtree/cad_tree_model.h"
#include "gui/cadtree/name_correction_proxy_model.h"
#include "gui/emc/emc_tree_model.h"
#include "gui/common/error_reporter.h"
#include "gui/common/node_icons.h"
#include "served_add_in.h"

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

struct CadObject {
    const char* name;
    bool include = true;
    bool geom = false;
};

}  // namespace

class CadEmcProxyTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ServedAddIn> add_in;
    std::unique_ptr<CAD_RPC::CAD_RPC_Connection> connection;
    CAD_RPC::Tree tree;
    CAD_TreeModel cad_model;
    QStringList reports;

    QModelIndex cad_row(const char* name) const
    {
        return cad_model
            .match(cad_model.index(0, 0), CAD_TreeModel::NameRole, QString(name), 1, Qt::MatchExactly | Qt::MatchRecursive)
            .value(0);
    }
    int32_t id_of(const char* name) const { return cad_row(name).data(CAD_TreeModel::IdRole).toInt(); }

    // Adds a CAE item (method and size chosen in its dialog while it is
    // empty, as only then are all methods offered) and drops these CAD
    // objects from the CAD tree into it.
    void add_item(EMC_TreeModel& emc, EMC_TreeModel::M_obj_Method method, double min_size_mm,
                  const std::vector<CadObject>& objects)
    {
        emc.set_dialog_runner([=](QDialog& dialog) {
            auto* combo = dialog.findChild<QComboBox*>("method_combo_box");
            combo->setCurrentIndex(combo->findData(QVariant::fromValue(method)));
            dialog.findChild<QDoubleSpinBox*>("min_size_spin_box")->setValue(min_size_mm);
            return true;
        });
        emc.add_M_obj();
        const QModelIndex cae = emc.index(emc.rowCount() - 1, 0);
        QModelIndexList rows;
        for (const CadObject& object : objects) rows << cad_row(object.name);
        std::unique_ptr<QMimeData> mime(cad_model.mimeData(rows));
        QVERIFY(emc.dropMimeData(mime.get(), Qt::CopyAction, -1, 0, cae));
        auto* item = emc.get_items().back().get();
        for (std::size_t i = 0; i < objects.size(); ++i) {
            item->children[i]->include = objects[i].include;
            item->children[i]->geom = objects[i].geom;
        }
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
    };
    std::unique_ptr<Setup> setup()
    {
        auto s = std::make_unique<Setup>();
        s->emc.set_tree(&tree);
        s->emc.set_client(&connection->client());
        s->proxy.set_tree(&tree);
        s->proxy.set_client(&connection->client());
        s->proxy.set_emc_model(&s->emc);
        return s;
    }

private slots:
    void initTestCase()
    {
        load_node_icons();
        set_error_reporter([this](QWidget*, const QString&, const QString& text) { reports << text; });
        add_in = std::make_unique<ServedAddIn>(build_machine);
        connection = std::make_unique<CAD_RPC::CAD_RPC_Connection>(add_in->port());
        connection->client().get_cad_tree(tree);
        cad_model.set_tree(&tree);
    }
    void init() { reports.clear(); }

    void point_items_list_nodes_and_solid_items_their_subtrees()
    {
        auto s = setup();
        QAbstractItemModelTester tester(&s->proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(s->proxy.rowCount(), 0);
        add_item(s->emc, EMC_TreeModel::point, 0, {{"Frame"}, {"Mark"}});
        add_item(s->emc, EMC_TreeModel::solid, 0, {{"Frame"}, {"Rotor"}, {"Frame"}});
        s->proxy.update_model();
        // A repeated object keeps its last place.
        QCOMPARE(shape(s->proxy), QString("New CAE item[Frame, Mark], "
                                          "New CAE item[Rotor, Frame[Bolts[Bolt 1, Bolt 2], Beam, Plate]]"));
        // A CAE item stands for no CAD object; the rows below carry their CAD nodes.
        const QModelIndex cae = s->proxy.index(0, 0);
        QCOMPARE(cae.data(CAD_TreeModel::IdRole).toInt(), -1);
        QCOMPARE(s->proxy.index(0, 0, cae).data(Qt::UserRole).value<CAD_RPC::Node*>(), &tree.nodes.at(id_of("Frame")));
        QVERIFY(reports.isEmpty());
    }

    void include_flags_only_switch_subtrees_on()
    {
        auto s = setup();
        // A cleared nested flag hides nothing; the top object's geometry flag does nothing.
        add_item(s->emc, EMC_TreeModel::solid, 0, {{"Frame", true, true}, {"Bolts", false}});
        // An excluded top object hides itself; its included descendant hangs under the CAE item.
        add_item(s->emc, EMC_TreeModel::solid, 0, {{"Frame", false}, {"Bolt 1", true}});
        s->proxy.update_model();
        QCOMPARE(shape(s->proxy), QString("New CAE item[Frame[Bolts[Bolt 1, Bolt 2], Beam, Plate]], New CAE item[Bolt 1]"));
    }

    void small_solids_of_a_solidB_item_become_mips()
    {
        auto s = setup();
        add_item(s->emc, EMC_TreeModel::solidB, 1000, {{"Frame"}});
        add_in->handler->clear();
        s->proxy.update_model();
        QCOMPARE(shape(s->proxy), QString("New CAE item[Frame[Bolts[Bolt 1(MIP), Bolt 2(MIP)], Beam, Plate(MIP)]]"));
        // One question per item of the subtree, the CAE item's own and the
        // solids' (with no ids) included: Frame's children are a structure and
        // then two solids, and the two answers go to those two.
        const std::string beam_plate = std::to_string(id_of("Beam")) + "," + std::to_string(id_of("Plate"));
        const auto calls = add_in->handler->calls();
        QVERIFY(std::find(calls.begin(), calls.end(), "get_min_size_comparison_results 1 " + beam_plate) != calls.end());
        QCOMPARE(std::count_if(calls.begin(), calls.end(),
                               [](const std::string& c) { return c.rfind("get_min_size_comparison_results", 0) == 0; }),
                 std::ptrdiff_t(7));
        const QModelIndex plate = s->proxy.index(2, 0, s->proxy.index(0, 0, s->proxy.index(0, 0)));
        QCOMPARE(plate.data(CAD_TreeModel::IdRole).toInt(), id_of("Plate"));
        QCOMPARE(plate.data(CAD_TreeModel::ParentIdRole).toInt(), id_of("Frame"));
    }

    void a_size_beyond_every_solid_keeps_only_the_exempted_geometry()
    {
        auto s = setup();
        add_item(s->emc, EMC_TreeModel::solidB, 1e6, {{"Frame", true, true}, {"Plate", true, true}, {"Motor"}});
        s->proxy.update_model();
        QCOMPARE(shape(s->proxy),
                 QString("New CAE item[Frame[Bolts[Bolt 1(MIP), Bolt 2(MIP)], Beam(MIP), Plate], Motor[Rotor(MIP)]]"));
    }

    void one_mip_for_all_small_solids_of_a_parent()
    {
        auto s = setup();
        add_item(s->emc, EMC_TreeModel::solidB, 1000, {{"Frame"}});
        s->proxy.single_MIP_for_all();
        QCOMPARE(shape(s->proxy), QString("New CAE item[Frame[Bolts[mipEmptySolid(MIP)], Beam, mipEmptySolid(MIP)]]"));
        const QModelIndex frame = s->proxy.index(0, 0, s->proxy.index(0, 0));
        const QModelIndex bolts_mip = s->proxy.index(0, 0, s->proxy.index(0, 0, frame));
        const auto* node = bolts_mip.data(Qt::UserRole).value<CAD_RPC::Node*>();
        QCOMPARE(node->id, -2);
        QCOMPARE(node->parent_id, -1);
        const int32_t bolts = id_of("Bolts");
        QCOMPARE(node->children_ids, (std::vector<int32_t>{id_of("Bolt 1"), bolts, id_of("Bolt 2"), bolts}));
        s->proxy.MIP_for_each();
        QCOMPARE(shape(s->proxy), QString("New CAE item[Frame[Bolts[Bolt 1(MIP), Bolt 2(MIP)], Beam, Plate(MIP)]]"));
    }

    void the_proxied_tree_exports_combined_mips()
    {
        auto s = setup();
        add_item(s->emc, EMC_TreeModel::solidB, 1000, {{"Bolts"}});
        s->proxy.single_MIP_for_all();
        CAD_RPC::Tree out;
        tarvik::build_export_tree(s->proxy.shown(), false, out);
        QTemporaryDir folder;
        CAD_RPC::Settings settings;
        settings.save_filepath = folder.filePath("emc.zel").toStdString();
        settings.export_solids = settings.export_MIPs = true;
        connection->client().export_zel(out, settings);
        std::ifstream file(settings.save_filepath);
        const std::string text((std::istreambuf_iterator<char>(file)), {});
        QVERIFY2(text.find("<structure") != std::string::npos && text.find("New_CAE_item") != std::string::npos,
                 text.c_str());
        // The two 2 kg bolts as one element.
        QVERIFY2(text.find("<elementMIP method=\"MIP\" MIP=\"MIP, 0, 0, 0, 4,") != std::string::npos, text.c_str());
        QVERIFY(text.find("mipEmptySolid") != std::string::npos);
        QVERIFY(text.find("Bolt_1") == std::string::npos);
    }

    void a_failure_leaves_an_empty_usable_proxy()
    {
        auto s = setup();
        QAbstractItemModelTester tester(&s->proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
        add_item(s->emc, EMC_TreeModel::solid, 0, {{"Frame"}});
        s->proxy.update_model();
        QCOMPARE(s->proxy.rowCount(), 1);
        // A tree that lacks a node the walk meets.
        CAD_RPC::Tree partial = tree;
        partial.nodes.erase(id_of("Beam"));
        s->proxy.set_tree(&partial);
        s->proxy.update_model();
        QCOMPARE(s->proxy.rowCount(), 0);
        QCOMPARE(reports.size(), 1);
        QVERIFY(reports[0].startsWith("Unable to apply the EMC configuration!\n"));
        s->proxy.set_tree(&tree);
        s->proxy.update_model();
        QCOMPARE(s->proxy.rowCount(), 1);

        // The add-in gone in the middle of a size comparison.
        add_item(s->emc, EMC_TreeModel::solidB, 10, {{"Motor"}});
        ServedAddIn other(build_machine);
        CAD_RPC::CAD_RPC_Connection link(other.port());
        s->proxy.set_client(&link.client());
        other.stop();
        s->proxy.update_model();
        QCOMPARE(s->proxy.rowCount(), 0);
        QCOMPARE(reports.size(), 2);
        QVERIFY(reports[1].startsWith("Unable to apply the EMC configuration!\n"));
    }
};

QTEST_MAIN(CadEmcProxyTest)
#include "cad_emc_proxy_test.moc"
