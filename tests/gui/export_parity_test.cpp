// The headless export (velmora-host --export) writes what Tarvik's "Export"
// writes for the same model and settings, byte for byte: the sample, a model
// whose names need correcting and repeat among siblings, and an EMC
// configuration with a "solidB" item, an excluded object and both MIP modes.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepPrimAPI_MakeCylinder.hxx>

#include "cad_rpc_connection.h"
#include "export_client/emc_file.h"
#include "gui/emc/emc_controller.h"
#include "gui/common/error_reporter.h"
#include "gui/shell/main_window.h"
#include "gui/common/node_icons.h"
#include "examples/xde_builder.h"
#include "hosts/occt/occt_host.h"
#include "served_add_in.h"
#include "tests/e2e/child_process.h"
#include "tests/scratch.h"

namespace fs = std::filesystem;

namespace {

// Products "Bolt/M6" and "Bolt_M6" (one name once corrected) and "-> Bolt 1"
// under "Rack", the bolts small (4 mm cylinders) beside a 100 mm plate.
void write_bolted_rack(const std::string& path)
{
    velmora::examples::XdeBuilder b;
    const TDF_Label rack = b.assembly("Rack");
    auto place = [&](const TopoDS_Shape& shape, const char* name, double x) {
        b.place(rack, b.part(shape, name), velmora::examples::at(x, 0, 0));
    };
    place(BRepPrimAPI_MakeBox(100.0, 100.0, 5.0).Shape(), "Plate", 0);
    place(BRepPrimAPI_MakeCylinder(2.0, 10.0).Shape(), "Bolt/M6", 10);
    place(BRepPrimAPI_MakeCylinder(2.0, 12.0).Shape(), "Bolt_M6", 20);
    place(BRepPrimAPI_MakeCylinder(2.0, 14.0).Shape(), "-> Bolt 1", 30);
    b.write(path);
}

}  // namespace

class ExportParityTest : public QObject {
    Q_OBJECT
    fs::path folder;
    QStringList reports;

    struct Case {
        std::string model;
        bool single_mip = false, all_visible = false;
        std::string emc = {};  // a configuration file, or none
        bool templates = false;
    };

    // Tarvik's window on the model served by the add-in's handler, its form
    // set as the case says, "Export" clicked.
    fs::path export_from_tarvik(const Case& c, const std::string& name)
    {
        tarvik::testing::ServedAddIn add_in(velmora::occt::open_occt_application(c.model));
        CAD_RPC::CAD_RPC_Connection connection(add_in.port());
        const fs::path out = folder / (name + "-tarvik.zel");
        MainWindow window(&connection.client(), out.string());
        window.findChild<QLineEdit*>("ZEL_filepath")->setText(QString::fromStdString(out.string()));
        if (c.all_visible) window.findChild<QRadioButton*>("all_as_visible")->setChecked(true);
        if (c.single_mip) window.findChild<QRadioButton*>("signle_MIP_for_all")->setChecked(true);
        if (c.templates) window.findChild<QRadioButton*>("search_for_templates")->setChecked(true);
        if (!c.emc.empty()) {
            if (!window.get_emc()->load(QString::fromStdString(c.emc))) return {};
            window.findChild<QGroupBox*>("EMC_settings_groupbox")->setChecked(true);
        }
        window.export_cad();
        return out;
    }

    fs::path export_headless(const Case& c, const std::string& name)
    {
        const fs::path out = folder / (name + "-headless.zel");
        std::vector<std::string> arguments{VELMORA_HOST, "--export", out.string()};
        for (const auto& [on, option] : {std::pair{c.all_visible, "--all-visible"}, {c.single_mip, "--single-mip"},
                                         {c.templates, "--templates"}})
            if (on) arguments.push_back(option);
        if (!c.emc.empty()) arguments.insert(arguments.end(), {"--emc", c.emc});
        arguments.push_back(c.model);
        velmora::testing::ChildProcess host(arguments);
        if (host.wait(std::chrono::minutes(2)) != 0) qWarning("velmora-host: %s", host.error_text().c_str());
        return out;
    }

    void expect_parity(const Case& c, const std::string& name)
    {
        const fs::path tarvik = export_from_tarvik(c, name), headless = export_headless(c, name);
        QVERIFY2(reports.isEmpty(), qPrintable(reports.join("; ")));
        QVERIFY2(fs::exists(tarvik) && fs::exists(headless), name.c_str());
        const std::string a = velmora::testing::read_text(tarvik), b = velmora::testing::read_text(headless);
        QVERIFY2(!a.empty(), name.c_str());
        QVERIFY2(a == b, name.c_str());
    }

    // A configuration for the rack: "Fasteners" (solidB, 20 mm: every bolt
    // is smaller) with the plate excluded, "Plate" (solid) with the plate.
    std::string write_rack_configuration(const std::string& model)
    {
        tarvik::testing::ServedAddIn add_in(velmora::occt::open_occt_application(model));
        CAD_RPC::CAD_RPC_Connection connection(add_in.port());
        CAD_RPC::Tree tree;
        connection.client().get_cad_tree(tree);
        const std::vector<int32_t>& ids = tree.nodes.at(tree.root_id).children_ids;  // plate, three bolts
        std::vector<std::string> persistent;
        connection.client().get_persistent_ids(persistent, ids);
        EMC::Config config;
        EMC::M_obj fasteners;
        fasteners.name = "Fasteners";
        fasteners.method = EMC::M_obj::solidB;
        fasteners.size_min = 20.0;
        for (std::size_t i = 0; i < ids.size(); ++i)
            fasteners.cad_objects.push_back({persistent.at(i), tree.nodes.at(ids[i]).name, i != 0, std::nullopt});
        EMC::M_obj plate;
        plate.name = "Plate";
        plate.cad_objects.push_back({persistent.at(0), "Plate", true, std::nullopt});
        config.objects = {fasteners, plate};
        const std::string path = (folder / "rack.emc").string();
        write_emc(config, path);
        return path;
    }

private slots:
    void initTestCase()
    {
        load_node_icons();
        set_error_reporter([this](QWidget*, const QString& title, const QString& text) { reports << title + " " + text; });
        folder = velmora::testing::scratch("export-parity");
    }
    void cleanupTestCase() { fs::remove_all(folder); }

    void the_sample_with_tarviks_defaults() { expect_parity({SAMPLE_MODEL}, "sample"); }

    void the_sample_with_templates()
    {
        expect_parity({SAMPLE_MODEL, false, false, {}, true}, "sample-templates");
        QVERIFY(velmora::testing::read_text(folder / "sample-templates-tarvik.zel").find("<solidRef") != std::string::npos);
    }

    void names_that_need_correcting_and_repeat()
    {
        const std::string rack = (folder / "rack.step").string();
        write_bolted_rack(rack);
        expect_parity({rack}, "rack");
        expect_parity({rack, false, true}, "rack-visible");
    }

    void an_emc_configuration_in_both_mip_modes()
    {
        const std::string rack = (folder / "rack.step").string();
        write_bolted_rack(rack);
        const std::string emc = write_rack_configuration(rack);
        expect_parity({rack, false, false, emc}, "rack-emc");
        expect_parity({rack, true, false, emc}, "rack-emc-single");
        // The small bolts really became MIPs, one per parent in the second.
        const std::string each = velmora::testing::read_text(folder / "rack-emc-tarvik.zel"), single = velmora::testing::read_text(folder / "rack-emc-single-tarvik.zel");
        QVERIFY2(each.find("Bolt_M6_1_$1") != std::string::npos, each.c_str());
        QVERIFY2(single.find("mipEmptySolid") != std::string::npos, single.c_str());
    }
};

QTEST_MAIN(ExportParityTest)
#include "export_parity_test.moc"
