// EMC configurations: the file as stored, and the model with its
// controller that edit, save and load them against the add-in's handler
// (persistent ids over RPC).
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include "cad_rpc_connection.h"
#include "gui/cadtree/cad_tree_model.h"
#include "export_client/emc_file.h"
#include "gui/emc/emc_controller.h"
#include "gui/emc/emc_tree_model.h"
#include "gui/common/error_reporter.h"
#include "gui/common/node_icons.h"
#include "served_add_in.h"
#include "tree_rows.h"
#include "tests/scratch.h"

using tarvik::testing::ServedAddIn;
using velmora::testing::read_text;
using velmora::testing::write_text;
namespace fs = std::filesystem;

namespace {

const char* kHeader = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<EMC>\n  <header minorVersion=\"0\" majorVersion=\"1\" />\n";

// The window's CAD tree and the EMC model over it, against one server.
struct Session {
    CAD_RPC::CAD_RPC_Connection connection;
    CAD_RPC::Tree tree;
    CAD_TreeModel cad_model;
    EMC_TreeModel emc;
    EMC_Controller control{&emc, &tree, nullptr};
    explicit Session(int port) : connection(port), control(&emc, &tree, &connection.client())
    {
        connection.client().get_cad_tree(tree);
        cad_model.set_tree(&tree);
        control.set_dialog_runner([](QDialog&) { return true; });
    }
    bool drop(const QStringList& names, const QModelIndex& onto) { return tarvik::testing::drop(cad_model, emc, names, onto); }
    int32_t id_of(const QString& name) const { return tarvik::testing::cad_row(cad_model, name).data(CAD_TreeModel::IdRole).toInt(); }
};

}  // namespace

class EmcModelTest : public QObject {
    Q_OBJECT

    QStringList reports;
    fs::path folder;

private slots:
    void initTestCase()
    {
        load_node_icons();
        set_error_reporter([this](QWidget*, const QString&, const QString& text) { reports << text; });
        folder = velmora::testing::scratch("tarvik-emc");
    }
    void cleanupTestCase() { fs::remove_all(folder); }
    void init() { reports.clear(); }

    void the_writer_stores_exactly_this_text()
    {
        EMC::Config config;
        EMC::M_obj frame;
        frame.name = "Рама";
        frame.method = EMC::M_obj::solidB;
        frame.size_min = 0.1;
        frame.comment = "a <b> & \"c\"";
        frame.cad_objects = {{"12 0 255 ", "Beam", false, true}, {"13 0 1 ", "Plate", std::nullopt, std::nullopt}};
        EMC::M_obj marks;
        marks.name = "Marks";
        marks.method = EMC::M_obj::point;
        marks.cad_objects = {{"7 ", "Mark", std::nullopt, false}};
        config.objects = {frame, marks};
        const std::string expected = std::string(kHeader) +
                                     "  <M_obj name=\"Рама\" method=\"solidB\" comment=\"a &lt;b> &amp; &quot;c&quot;\" sizeMin=\"0.1\">\n"
                                     "    <CAD_obj ID=\"12 0 255 \" name=\"Beam\" include=\"false\" geom=\"true\" />\n"
                                     "    <CAD_obj ID=\"13 0 1 \" name=\"Plate\" />\n"
                                     "  </M_obj>\n"
                                     "  <M_obj name=\"Marks\" method=\"point\">\n"
                                     "    <CAD_obj ID=\"7 \" name=\"Mark\" geom=\"false\" />\n"
                                     "  </M_obj>\n"
                                     "</EMC>\n";
        QCOMPARE(QString::fromStdString(format_emc(config)), QString::fromStdString(expected));
        const fs::path file = folder / "written.emc";
        write_emc(config, file.string());
        QCOMPARE(read_text(file), expected);

        QCOMPARE(format_emc(read_emc(file.string())), expected);  // everything read back as written
        EMC::Config unknown;
        unknown.objects.resize(1);
        unknown.objects[0].method = 5;
        QVERIFY_THROWS_EXCEPTION(std::logic_error, format_emc(unknown));
    }

    void dropped_cad_nodes_become_cad_objects()
    {
        ServedAddIn add_in;
        Session s(add_in.port());
        QAbstractItemModelTester tester(&s.emc, QAbstractItemModelTester::FailureReportingMode::QtTest);
        s.control.add_item();
        const QModelIndex cae = s.emc.index(0, 0);
        QCOMPARE(cae.data().toString(), QString("New CAE item"));
        QVERIFY(s.drop({"Bolt M6", "A", "Point 1"}, cae));
        QCOMPARE(s.emc.rowCount(cae), 3);
        const EMC::M_obj& item = s.emc.config().objects[0];
        QCOMPARE(item.cad_objects[0].name, std::string("Bolt M6"));
        QCOMPARE(s.emc.index(0, 0, cae).data(EMC_TreeModel::NodeIdRole).toInt(), s.id_of("Bolt M6"));
        QCOMPARE(s.emc.cad_type_of(s.emc.node_ids()[0][1]), EMC_TreeModel::CAD_Structure);
        std::vector<std::string> expected_ids;
        s.connection.client().get_persistent_ids(expected_ids, {s.id_of("Bolt M6")});
        QCOMPARE(item.cad_objects[0].id, expected_ids[0]);

        // Onto a CAD object: into its CAE item.
        QVERIFY(s.drop({"Body"}, s.emc.index(1, 0, cae)));
        QCOMPARE(s.emc.rowCount(cae), 4);
        // Anywhere else, or a payload that is not this tree's: refused unread.
        QVERIFY(!s.drop({"Body"}, QModelIndex()));
        QMimeData odd;
        QByteArray foreign;
        QDataStream(&foreign, QIODevice::WriteOnly) << qint64(0x1234567890);
        for (const QByteArray& payload : {QByteArray(12, '\1'), foreign}) {
            odd.setData(CAD_TreeModel::kMimeType, payload);
            QVERIFY(!s.emc.canDropMimeData(&odd, Qt::CopyAction, -1, 0, cae));
            QVERIFY(!s.emc.dropMimeData(&odd, Qt::CopyAction, -1, 0, cae));
        }
        QCOMPARE(s.emc.rowCount(cae), 4);
        QVERIFY(s.control.is_modified());
    }

    void edits_mark_the_configuration_and_rejected_dialogs_change_nothing()
    {
        ServedAddIn add_in;
        Session s(add_in.port());
        s.control.set_dialog_runner([](QDialog&) { return false; });
        s.control.add_item();
        QCOMPARE(s.emc.rowCount(), 0);
        QVERIFY(!s.control.is_modified());
        s.control.set_dialog_runner([](QDialog&) { return true; });
        s.control.add_item();
        QVERIFY(s.drop({"Body", "Bolt M6"}, s.emc.index(0, 0)));
        QVERIFY(s.control.save(QString::fromStdString((folder / "c.emc").string())));
        QVERIFY(!s.control.is_modified());

        const QModelIndex cad = s.emc.index(1, 0, s.emc.index(0, 0));
        for (const bool accept : {false, true}) {
            s.control.set_dialog_runner([accept](QDialog& dialog) {
                dialog.findChild<QLineEdit*>("name_text_edit")->setText("Renamed");
                return accept;
            });
            s.control.edit(cad);
            QCOMPARE(s.control.is_modified(), accept);
            QCOMPARE(cad.data().toString(), QString(accept ? "Renamed" : "Bolt M6"));
        }
        // Removing the last CAD object leaves an empty CAE item; removing an item takes its objects.
        s.control.remove(s.emc.index(0, 0, s.emc.index(0, 0)));
        s.control.remove(s.emc.index(0, 0, s.emc.index(0, 0)));
        QCOMPARE(s.emc.rowCount(s.emc.index(0, 0)), 0);
        s.control.remove(s.emc.index(0, 0));
        QCOMPARE(s.emc.rowCount(), 0);
    }

    void a_configuration_round_trips_through_its_file()
    {
        ServedAddIn add_in;
        Session s(add_in.port());
        const QString file = QString::fromStdString((folder / "round.emc").string());
        s.control.set_dialog_runner([](QDialog& dialog) {
            dialog.findChild<QLineEdit*>("name_edit")->setText("Frame");
            dialog.findChild<QComboBox*>("method_combo_box")->setCurrentIndex(1);  // solidB
            return true;
        });
        s.control.add_item();
        QVERIFY(s.drop({"Body", "Bolt M6"}, s.emc.index(0, 0)));
        s.control.set_dialog_runner([](QDialog& dialog) {
            dialog.findChild<QCheckBox*>("include_check_box")->setChecked(false);
            dialog.findChild<QCheckBox*>("geom_check_box")->setChecked(true);
            return true;
        });
        s.control.edit(s.emc.index(1, 0, s.emc.index(0, 0)));
        QVERIFY(s.control.save(file));
        const std::string saved = read_text(file.toStdString());
        QVERIFY(saved.find("method=\"solidB\" sizeMin=\"0\"") != std::string::npos);
        QVERIFY(saved.find("name=\"Bolt M6\" include=\"false\" geom=\"true\"") != std::string::npos);

        EMC_TreeModel loaded;
        EMC_Controller control(&loaded, &s.tree, &s.connection.client());
        QAbstractItemModelTester tester(&loaded, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(control.load(file));
        QVERIFY(!control.is_modified());
        QCOMPARE(loaded.node_ids()[0][1], s.id_of("Bolt M6"));
        QVERIFY(control.save(file));
        QCOMPARE(read_text(file.toStdString()), saved);

        // "solid" with a stored size forgets it once saved again; an object
        // this model lacks is kept, not found.
        write_text(file.toStdString(), std::string(kHeader) + "  <M_obj name=\"S\" method=\"solid\" sizeMin=\"5\">\n"
                                           "    <CAD_obj ID=\"no such id\" name=\"Gone\" />\n  </M_obj>\n</EMC>\n");
        QVERIFY(control.load(file));
        QCOMPARE(loaded.node_ids()[0][0], -1);
        QCOMPARE(loaded.cad_type_of(loaded.node_ids()[0][0]), EMC_TreeModel::CAD_NotFound);
        QVERIFY(control.save(file));
        QVERIFY(read_text(file.toStdString()).find("sizeMin") == std::string::npos);
        QVERIFY(reports.isEmpty());
    }

    void sizes_keep_their_decimals_under_a_russian_locale()
    {
        // Its decimal separator is ",": strtod, and so pugixml's as_double, reads "2.5" as 2 there.
        const std::string previous = std::setlocale(LC_ALL, nullptr);
        QVERIFY2(std::setlocale(LC_ALL, "ru_RU.UTF-8"), "no locale ru_RU.UTF-8 (scripts/install-deps.sh makes it)");
        QCOMPARE(std::strtod("2.5", nullptr), 2.0);
        ServedAddIn add_in;
        Session s(add_in.port());
        const fs::path file = folder / "russian.emc";
        const std::string text = std::string(kHeader) + "  <M_obj name=\"Small\" method=\"solidB\" sizeMin=\"2.5\">\n"
                                                        "    <CAD_obj ID=\"no such id\" name=\"Gone\" />\n  </M_obj>\n</EMC>\n";
        write_text(file, text);
        const bool loaded = s.control.load(QString::fromStdString(file.string()));
        const double size = loaded ? s.emc.index(0, 0).data(EMC_TreeModel::MinSizeRole).toDouble() : -1;
        const bool saved = s.control.save(QString::fromStdString(file.string()));
        std::setlocale(LC_ALL, previous.c_str());
        QVERIFY(loaded && saved);
        QCOMPARE(size, 2.5);
        QCOMPARE(read_text(file), text);
    }

    void unsavable_and_broken_files()
    {
        ServedAddIn add_in;
        Session s(add_in.port());
        const QString file = QString::fromStdString((folder / "empty.emc").string());
        // A CAE item without CAD objects could not be loaded back: not saved.
        s.control.add_item();
        QVERIFY(!s.control.save(file));
        QCOMPARE(reports, QStringList{"Unable to save EMC file!\nThe CAE item \"New CAE item\" holds no CAD objects; "
                                      "add some or remove the item."});
        QVERIFY(!fs::exists(file.toStdString()));
        // A failed load keeps what was there.
        write_text(folder / "broken.emc", "<EMC><header majorVersion=\"1\"/></EMC>");
        QVERIFY(!s.control.load(QString::fromStdString((folder / "broken.emc").string())));
        QCOMPARE(reports.last(),
                 QString("Unable to load EMC file!\nUnable to load EMC file! \nMandatory attribute minorVersion is empty!"));
        QCOMPARE(s.emc.rowCount(), 1);
        QVERIFY(s.control.is_modified());
    }

    void damaged_files_give_only_the_documented_errors()
    {
        ServedAddIn add_in;
        Session s(add_in.port());
        s.control.add_item();
        QVERIFY(s.drop({"Body", "Bolt M6", "A"}, s.emc.index(0, 0)));
        s.control.add_item();
        QVERIFY(s.drop({"Point 1"}, s.emc.index(1, 0)));
        const fs::path valid = folder / "valid.emc";
        QVERIFY(s.control.save(QString::fromStdString(valid.string())));
        const std::string text = read_text(valid);
        const int rows_before = s.emc.rowCount();

        // What a failed load may say after its own sentence.
        const QRegularExpression documented(
            "^Unable to load EMC file!\n(Unable to load EMC file! \n("
            "Mandatory attribute (minorVersion|majorVersion|name|method|ID) is empty!|"
            " Attribute method has wrong value! \nValid types: \"solid\", \"solidB\", \"point\". Got: \".*\"|"
            "M_obj node must have at least one CAD_obj child\\. .* is empty!|"
            "[A-Z][A-Za-z ,/-]+[a-z])|map::at)$",
            QRegularExpression::DotMatchesEverythingOption);
        std::mt19937 rng(11);
        auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
        const std::string pieces[] = {"<", ">", "/>", "\"", "=", "&", "&#0;", "M_obj", "CAD_obj", "method=\"Solid\"",
                                      "sizeMin=\"x\"", "include=\"no\"", "\xff\xfe", "<!--", "]]>"};
        int loaded = 0, refused = 0;
        for (int i = 0; i < 2000; ++i) {
            std::string m = text;
            for (std::size_t k = 0, n = 1 + pick(4); k < n && !m.empty(); ++k) {
                const std::size_t at = pick(m.size());
                switch (pick(4)) {
                case 0: m[at] = static_cast<char>(pick(256)); break;
                case 1: m.erase(at, 1 + pick(40)); break;
                case 2: m.insert(at, pieces[pick(std::size(pieces))]); break;
                default: m.resize(at); break;
                }
            }
            const fs::path file = folder / "mutant.emc";
            write_text(file, m);
            reports.clear();
            if (s.control.load(QString::fromStdString(file.string()))) {
                ++loaded;
                QVERIFY(reports.isEmpty());
                // Back to the valid file for the next round.
                QVERIFY(s.control.load(QString::fromStdString(valid.string())));
            } else {
                ++refused;
                QCOMPARE(reports.size(), 1);
                QVERIFY2(documented.match(reports[0]).hasMatch(), qPrintable(QString(reports[0]).replace("\n", " / ")));
                QCOMPARE(s.emc.rowCount(), rows_before);
            }
        }
        QVERIFY(loaded > 0 && refused > 0);
        std::printf("2000 damaged EMC files: %d loaded, %d refused with a documented error\n", loaded, refused);
    }

    void objects_are_found_again_in_the_next_run()
    {
        auto model = std::make_shared<velmora::memory::MemoryModel>();
        tarvik::testing::build_standard_model(*model);
        const QString file = QString::fromStdString((folder / "runs.emc").string());
        std::map<QString, int32_t> first_ids;
        {
            ServedAddIn first(model);
            Session s(first.port());
            s.control.add_item();
            QVERIFY(s.drop({"Bolt M6", "Point 1", "A"}, s.emc.index(0, 0)));
            for (const char* name : {"Bolt M6", "Point 1", "A"}) first_ids[name] = s.id_of(name);
            QVERIFY(s.control.save(file));
        }
        // The next run of the CAD system: one more component in front, so every id moves.
        auto doc = std::static_pointer_cast<velmora::memory::MemoryDocument>(model->application->active_document);
        auto& root_children = doc->configuration->root->children;
        model->add_component(*doc->configuration->root, u"New");
        std::rotate(root_children.rbegin(), root_children.rbegin() + 1, root_children.rend());

        ServedAddIn second(model);
        Session s(second.port());
        QVERIFY(s.control.load(file));
        const auto& objects = s.emc.config().objects.at(0).cad_objects;
        QCOMPARE(objects.size(), std::size_t(3));
        for (std::size_t i = 0; i < objects.size(); ++i) {
            const QString name = QString::fromStdString(objects[i].name);
            QCOMPARE(s.emc.node_ids()[0][i], s.id_of(name));
            QVERIFY2(s.emc.node_ids()[0][i] != first_ids[name], qPrintable(name));
        }
    }
};

QTEST_MAIN(EmcModelTest)
#include "emc_model_test.moc"
