#include "emc_controller.h"

#include <stdexcept>

#include <QApplication>

#include "cad_dialog.h"
#include "emc_dialog.h"
#include "emc_tree_model.h"
#include "gui/common/error_reporter.h"
#include "export_client/export_client.h"

EMC_Controller::EMC_Controller(EMC_TreeModel* emc_model, const CAD_RPC::Tree* cad_tree,
                               CAD_RPC::CAD_RPC_ServiceClient* rpc_client, QObject* parent)
    : QObject(parent),
      model(emc_model),
      tree(cad_tree),
      client(rpc_client),
      run_dialog([](QDialog& dialog) { return dialog.exec() == QDialog::Accepted; })
{
    model->set_tree(tree);
    connect(model, &EMC_TreeModel::changed, this, [this] {
        if (!loading) set_modified(true);
    });
    connect(model, &EMC_TreeModel::cad_nodes_dropped, this, &EMC_Controller::add_dropped);
}

void EMC_Controller::set_modified(bool on)
{
    modified = on;
    emit modified_changed(on);
}

void EMC_Controller::add_item()
{
    EMC::M_obj item;
    item.name = tr("New CAE item").toStdString();
    EMC_Dialog dialog(item, {}, QApplication::activeWindow());
    if (!run_dialog(dialog)) return;
    dialog.apply();
    model->add_item(std::move(item));
}

void EMC_Controller::edit(const QModelIndex& index)
{
    const int row = model->item_row(index);
    if (row < 0) return;
    const EMC::M_obj& item = model->config().objects[static_cast<std::size_t>(row)];
    if (index.parent().isValid()) {
        EMC::CAD_obj object = item.cad_objects[static_cast<std::size_t>(index.row())];
        CAD_Dialog dialog(object, QApplication::activeWindow());
        if (!run_dialog(dialog)) return;
        dialog.apply();
        model->set_object(row, index.row(), object);
        return;
    }
    EMC::M_obj edited = item;
    std::vector<int> types;
    for (const int32_t id : model->node_ids()[static_cast<std::size_t>(row)]) types.push_back(model->cad_type_of(id));
    EMC_Dialog dialog(edited, types, QApplication::activeWindow());
    if (!run_dialog(dialog)) return;
    dialog.apply();
    model->set_item(row, edited);
}

void EMC_Controller::remove(const QModelIndex& index) { model->remove(index); }

void EMC_Controller::clear() { model->clear(); }

void EMC_Controller::add_dropped(int item_row, const std::vector<int32_t>& node_ids)
{
    std::vector<std::string> persistent_ids;
    const bool asked = guarded(nullptr, tr("Unable to add the CAD objects!"), [&] {
        if (!client) throw std::runtime_error("No connection to the CAD plugin.");
        client->get_persistent_ids(persistent_ids, node_ids);
        if (persistent_ids.size() != node_ids.size())
            throw std::runtime_error("The CAD plugin answered with a wrong number of ids.");
    });
    if (!asked) return;
    std::vector<EMC::CAD_obj> objects;
    for (std::size_t i = 0; i < node_ids.size(); ++i)
        objects.push_back({persistent_ids[i], tree->nodes.at(node_ids[i]).name, std::nullopt, std::nullopt});
    model->add_objects(item_row, objects, node_ids);
}

bool EMC_Controller::load(const QString& path)
{
    EMC::Config config;
    std::vector<std::vector<int32_t>> found;
    const bool read = guarded(nullptr, tr("Unable to load EMC file!"), [&] {
        config = read_emc(path.toLocal8Bit().toStdString());
        if (!client) throw std::runtime_error("No connection to the CAD plugin.");
        // The objects are found again in this CAD session by their persistent ids.
        found = tarvik::find_emc_objects(*client, config);
    });
    if (!read) return false;
    loading = true;
    model->set_config(std::move(config), std::move(found));
    loading = false;
    set_modified(false);
    return true;
}

bool EMC_Controller::save(const QString& path)
{
    const bool saved = guarded(nullptr, tr("Unable to save EMC file!"), [&] {
        const EMC::Config config = model->config();
        // The file needs at least one CAD object per CAE item and refuses to
        // load otherwise: such a file would lose the whole configuration.
        for (const EMC::M_obj& item : config.objects)
            if (item.cad_objects.empty())
                throw std::runtime_error(tr("The CAE item \"%1\" holds no CAD objects; add some or remove the item.")
                                             .arg(QString::fromStdString(item.name))
                                             .toStdString());
        write_emc(stored_form(config), path.toLocal8Bit().toStdString());
    });
    if (saved) set_modified(false);
    return saved;
}
