#pragma once
#include <functional>
#include <memory>
#include <vector>

#include <QAbstractItemModel>
#include <QMetaType>

#include "CAD_RPC_Service.h"
#include "gui/tarvik_export/emc_file.h"

class QDialog;

// An EMC configuration: CAE items at the top, the CAD objects each applies
// to below them.
class EMC_TreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Role {
        M_NameRole = Qt::UserRole + 6,
        NodeIdRole = Qt::UserRole + 7,
        IncludeRole = Qt::UserRole + 9,
        GeomRole = Qt::UserRole + 10,
        MethodRole = Qt::UserRole + 11,
        MinSizeRole = Qt::UserRole + 12,
    };

    enum M_obj_Method : int32_t { solid = 0, solidB = 1, point = 2 };
    Q_ENUM(M_obj_Method)

    struct M_obj;

    // What a row is.
    enum Kind : int32_t { CAE_Item = 0, CAD_Object = 1 };
    // What a CAD object is in the current CAD model.
    enum CAD_Type : int32_t { CAD_Structure = 0, CAD_Solid = 1, CAD_Other = 2, CAD_NotFound = 3 };
    // The CAD type of a node of the CAD tree.
    static CAD_Type cad_type_of(CAD_RPC::NodeType::type node_type);

    struct TreeItem {
        explicit TreeItem(Kind k) : kind(k) {}
        virtual ~TreeItem() = default;
        virtual TreeItem* parent() const = 0;
        QString name;
        Kind kind;
    };

    struct CAD_obj : TreeItem {
        explicit CAD_obj(M_obj* owner) : TreeItem(CAD_Object), owner(owner) {}
        TreeItem* parent() const override;
        CAD_Type cad_type = CAD_NotFound;
        int32_t node_id = -1;
        QString persistent_id;
        bool include = true;
        bool geom = false;
        M_obj* owner;
    };

    struct M_obj : TreeItem {
        M_obj() : TreeItem(CAE_Item) {}
        TreeItem* parent() const override { return nullptr; }
        // Adds a CAD object owned by this item.
        CAD_obj* add_child();
        M_obj_Method method = solid;
        QString comments;
        double min_size = 0;  // millimetres; meaningful for solidB only
        std::vector<std::unique_ptr<CAD_obj>> children;
    };

    explicit EMC_TreeModel(QObject* parent = nullptr);
    ~EMC_TreeModel() override;

    void set_tree(CAD_RPC::Tree* t) { tree = t; }
    void set_client(CAD_RPC::CAD_RPC_ServiceClient* c) { client = c; }

    // How the item dialogs are shown: modal by default; tests answer them.
    using DialogRunner = std::function<bool(QDialog& dialog)>;
    void set_dialog_runner(DialogRunner runner) { run_dialog = std::move(runner); }

    bool is_modified() const { return modified; }
    void remove_item(const QModelIndex& index);
    bool load(const QString& path);
    bool save(const QString& path);
    const std::vector<std::unique_ptr<M_obj>>& get_items() const { return items; }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    Qt::DropActions supportedDropActions() const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

public slots:
    void add_M_obj();
    void clear();
    void edit_item(const QModelIndex& index);

signals:
    void model_data_changed();
    void model_data_saved();

private:
    void changed();
    // The file's records from the items, and items from the records (the
    // CAD objects looked up in the current model).
    EMC::Config to_config() const;
    std::vector<std::unique_ptr<M_obj>> from_config(const EMC::Config& config) const;
    static TreeItem* item_of(const QModelIndex& index);
    // The CAE item a drop at `parent` goes to; null where drops are refused.
    M_obj* drop_target(const QModelIndex& parent) const;
    int row_of(const M_obj* item) const;
    // The nodes of this window's tree that a payload names; empty for a
    // payload that is not one of ours.
    std::vector<const CAD_RPC::Node*> dropped_nodes(const QMimeData* data) const;

    CAD_RPC::Tree* tree = nullptr;
    CAD_RPC::CAD_RPC_ServiceClient* client = nullptr;
    std::vector<std::unique_ptr<M_obj>> items;
    bool modified = false;
    DialogRunner run_dialog;
};


